#pragma once
// Windows only: the one top-level window of a stub, whose controls are replaced page by page
// (question, progress, result), built from the system's own controls without a toolkit. A page
// is a few calls that add controls; Wait() then runs the window until a button answers.

#include <functional>
#include <string>
#include <vector>

#include "os/win32_api.h"

namespace kitforge::window {

// Texts shown by the system's controls: UTF-8 to UTF-16, line breaks as CR LF.
std::wstring ControlText(const std::string& text);
// The text a control holds, as UTF-8.
std::string TextOf(HWND control);

class PageWindow {
public:
    // Answers of Wait(): a button gives its index in the row; closing the window gives kClosed.
    static constexpr int kWaiting = -2;
    static constexpr int kClosed = -1;

    // A hidden window with a client area of `width` by `height`, centred on the screen.
    PageWindow(const std::string& title, int width, int height);
    ~PageWindow();
    PageWindow(const PageWindow&) = delete;
    PageWindow& operator=(const PageWindow&) = delete;

    // Whether the window could be made (it cannot without a desktop to show it on).
    bool Made() const { return window_ != nullptr; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    void SetTitle(const std::string& title);
    // Removes every control, for the next page.
    void Clear();

    // A static text; `heading` makes it bold and larger. Ampersands show as written.
    HWND Text(int x, int y, int w, int h, const std::string& text, bool heading = false);
    enum class FieldKind { Editable, ReadOnly, Hidden, ReadOnlyLines };
    HWND Field(int x, int y, int w, int h, const std::string& text, FieldKind kind);
    // A push button that calls on_command(id) when pressed.
    HWND Button(int x, int y, int w, int h, const std::string& label, int id);
    // A progress bar of the common controls, from 0 to kProgressRange.
    static constexpr int kProgressRange = 1000;
    HWND ProgressBar(int x, int y, int w, int h);
    // A list in which several entries can be chosen; every entry starts chosen.
    HWND ChoiceList(int x, int y, int w, int h, const std::vector<std::string>& entries);
    // A row of buttons along the bottom, right-aligned, answering 0, 1, ...; Return presses the
    // one at `proposed` (-1: none), Escape answers kClosed.
    std::vector<HWND> Buttons(const std::vector<std::string>& labels, int proposed);

    // Shows the window and handles its messages until an answer is set (a button of the row,
    // SetAnswer, or closing). `poll`, when given, is called about ten times a second and ends
    // the wait with kClosed when it says so.
    int Wait(const std::function<bool()>& poll = {});
    // Handles the messages that are waiting, without waiting for more.
    void HandlePending();
    void Show();
    void Hide();
    // Gives `control` the keyboard, now and whenever the window is active again.
    void Focus(HWND control);
    HWND Handle() const { return window_; }

    int Answer() const { return answer_; }
    void SetAnswer(int answer) { answer_ = answer; }

    // Called for controls' commands other than the row's buttons (id, notification code).
    std::function<void(int, int)> on_command;
    // Called when the window is closed by its close box; by default it answers kClosed.
    std::function<void()> on_close;
    // Called for Escape; by default it answers kClosed.
    std::function<void()> on_escape;

    // The first id given to the row's buttons; other controls use ids below it.
    static constexpr int kRowIdBase = 1000;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT Handle(UINT message, WPARAM w, LPARAM l);
    HWND Control(const wchar_t* kind, const std::wstring& text, DWORD style, int x, int y, int w, int h, int id,
                 HFONT font);
    int Scaled(int measure) const;

    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    HFONT heading_font_ = nullptr;
    int width_;
    int height_;
    int answer_ = kWaiting;
    int default_id_ = 0;
    int dots_per_inch_ = 96;
    HWND focus_ = nullptr;
};

}  // namespace kitforge::window
