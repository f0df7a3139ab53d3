#include "window/page_window.h"

#include <commctrl.h>

#include <algorithm>

namespace kitforge::window {

namespace {

constexpr wchar_t kClassName[] = L"KitforgeStubWindow";
constexpr int kMargin = 14;
constexpr int kRowButtonWidth = 110;  // at most; narrower when many
constexpr int kRowButtonHeight = 28;
constexpr int kRowGap = 8;

// The progress bar is a common control: registered once, whichever version of the common
// controls the program is bound to (with or without a manifest asking for version 6).
void RegisterControls() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}

bool RegisterWindowClass() {
    static const bool registered = [] {
        RegisterControls();
        WNDCLASSEXW kind{};
        kind.cbSize = sizeof kind;
        kind.lpfnWndProc = DefWindowProcW;  // replaced per window once its object is known
        kind.hInstance = GetModuleHandleW(nullptr);
        kind.hIcon = LoadIconW(kind.hInstance, MAKEINTRESOURCEW(1));
        if (kind.hIcon == nullptr) kind.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        kind.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        kind.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        kind.lpszClassName = kClassName;
        return RegisterClassExW(&kind) != 0;
    }();
    return registered;
}

// The system's font for message boxes, so that the pages look like the system's own dialogs.
HFONT MessageFont(bool heading) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    if (heading) {
        metrics.lfMessageFont.lfWeight = FW_BOLD;
        metrics.lfMessageFont.lfHeight = metrics.lfMessageFont.lfHeight * 4 / 3;
    }
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

}  // namespace

std::wstring ControlText(const std::string& text) {
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t n = 0; n < text.size(); ++n) {
        if (text[n] == '\n' && (n == 0 || text[n - 1] != '\r')) lines += '\r';
        lines += text[n];
    }
    return WideText(lines);
}

std::string TextOf(HWND control) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return Utf8Text(text);
}

PageWindow::PageWindow(const std::string& title, int width, int height) : width_(width), height_(height) {
    if (!RegisterWindowClass()) return;
    // Measures are given at 96 dots per inch; a program the system lets see the real
    // resolution (a manifest may say so) scales them with the system font.
    if (HDC screen = GetDC(nullptr)) {
        dots_per_inch_ = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, Scaled(width), Scaled(height)};
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_CONTROLPARENT);
    const int outer_width = frame.right - frame.left;
    const int outer_height = frame.bottom - frame.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + std::max(0L, (work.right - work.left - outer_width) / 2);
    const int y = work.top + std::max(0L, (work.bottom - work.top - outer_height) / 2);
    window_ = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, ControlText(title).c_str(), style, x, y, outer_width,
                              outer_height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window_ == nullptr) return;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PageWindow::Procedure));
    font_ = MessageFont(false);
    heading_font_ = MessageFont(true);
}

PageWindow::~PageWindow() {
    if (window_ != nullptr) {
        SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
        DestroyWindow(window_);
    }
    if (font_ != nullptr) DeleteObject(font_);
    if (heading_font_ != nullptr) DeleteObject(heading_font_);
}

void PageWindow::SetTitle(const std::string& title) { SetWindowTextW(window_, ControlText(title).c_str()); }

int PageWindow::Scaled(int measure) const { return MulDiv(measure, dots_per_inch_, 96); }

void PageWindow::Focus(HWND control) {
    focus_ = control;
    SetFocus(control);
}

void PageWindow::Clear() {
    focus_ = nullptr;
    // Destroying a child changes the list being walked: take the first one until none is left.
    while (HWND child = GetWindow(window_, GW_CHILD)) DestroyWindow(child);
    default_id_ = 0;
}

HWND PageWindow::Control(const wchar_t* kind, const std::wstring& text, DWORD style, int x, int y, int w, int h, int id,
                         HFONT font) {
    HWND control = CreateWindowExW(0, kind, text.c_str(), WS_CHILD | WS_VISIBLE | style, Scaled(x), Scaled(y),
                                   Scaled(w), Scaled(h), window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (control != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

HWND PageWindow::Text(int x, int y, int w, int h, const std::string& text, bool heading) {
    return Control(L"STATIC", ControlText(text), SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, x, y, w, h, 0,
                   heading ? heading_font_ : font_);
}

HWND PageWindow::Field(int x, int y, int w, int h, const std::string& text, FieldKind kind) {
    DWORD style = WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER;
    switch (kind) {
        case FieldKind::Editable: break;
        case FieldKind::ReadOnly: style |= ES_READONLY; break;
        case FieldKind::Hidden: style |= ES_PASSWORD; break;
        case FieldKind::ReadOnlyLines:
            style = WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_BORDER;
            break;
    }
    return Control(L"EDIT", ControlText(text), style, x, y, w, h, 0, font_);
}

HWND PageWindow::Button(int x, int y, int w, int h, const std::string& label, int id) {
    return Control(L"BUTTON", ControlText(label), WS_TABSTOP | BS_PUSHBUTTON, x, y, w, h, id, font_);
}

HWND PageWindow::ProgressBar(int x, int y, int w, int h) {
    HWND bar = Control(PROGRESS_CLASSW, L"", PBS_SMOOTH, x, y, w, h, 0, font_);
    SendMessageW(bar, PBM_SETRANGE32, 0, kProgressRange);
    return bar;
}

HWND PageWindow::ChoiceList(int x, int y, int w, int h, const std::vector<std::string>& entries) {
    HWND list = Control(L"LISTBOX", L"", WS_TABSTOP | WS_VSCROLL | WS_BORDER | LBS_MULTIPLESEL | LBS_NOINTEGRALHEIGHT,
                        x, y, w, h, 0, font_);
    for (const std::string& entry : entries) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideText(entry).c_str()));
    }
    SendMessageW(list, LB_SETSEL, TRUE, -1);
    return list;
}

std::vector<HWND> PageWindow::Buttons(const std::vector<std::string>& labels, int proposed) {
    const int count = static_cast<int>(labels.size());
    const int width = std::min(kRowButtonWidth, (width_ - 2 * kMargin - kRowGap * (count - 1)) / count);
    int x = width_ - kMargin - count * (width + kRowGap) + kRowGap;
    const int y = height_ - kMargin - kRowButtonHeight;
    std::vector<HWND> buttons;
    for (int n = 0; n < count; ++n) {
        HWND button = Button(x, y, width, kRowButtonHeight, labels[static_cast<std::size_t>(n)], kRowIdBase + n);
        if (n == proposed) {
            SendMessageW(button, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
            default_id_ = kRowIdBase + n;
        }
        buttons.push_back(button);
        x += width + kRowGap;
    }
    if (proposed >= 0) Focus(buttons[static_cast<std::size_t>(proposed)]);
    return buttons;
}

void PageWindow::Show() {
    if (!IsWindowVisible(window_)) {
        ShowWindow(window_, SW_SHOWNORMAL);
        SetForegroundWindow(window_);
    }
    if (focus_ != nullptr) SetFocus(focus_);
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
}

void PageWindow::Hide() { ShowWindow(window_, SW_HIDE); }

int PageWindow::Wait(const std::function<bool()>& poll) {
    answer_ = kWaiting;
    Show();
    while (answer_ == kWaiting) {
        if (poll) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            if (poll()) answer_ = kClosed;
        } else {
            WaitMessage();
        }
        HandlePending();
    }
    return answer_;
}

void PageWindow::HandlePending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            answer_ = kClosed;
            break;
        }
        // Tab between the controls, Return for the proposed button, Escape.
        if (IsDialogMessageW(window_, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

LRESULT CALLBACK PageWindow::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<PageWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self != nullptr ? self->Handle(message, w, l) : DefWindowProcW(window, message, w, l);
}

LRESULT PageWindow::Handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        // The control that had the keyboard gets it back when the window is active again.
        case WM_ACTIVATE:
            if (LOWORD(w) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus != nullptr && IsChild(window_, focus)) focus_ = focus;
            } else if (focus_ != nullptr) {
                SetFocus(focus_);
                return 0;
            }
            return DefWindowProcW(window_, message, w, l);
        case DM_GETDEFID: return default_id_ != 0 ? MAKELRESULT(default_id_, DC_HASDEFID) : 0;
        case WM_COMMAND: {
            const int id = LOWORD(w);
            const int code = HIWORD(w);
            if (id == IDCANCEL) {
                if (on_escape) {
                    on_escape();
                } else {
                    answer_ = kClosed;
                }
            } else if (id == IDOK) {
                // Return where no button is proposed: nothing to press.
            } else if (id >= kRowIdBase && code == BN_CLICKED) {
                answer_ = id - kRowIdBase;
            } else if (on_command) {
                on_command(id, code);
            }
            return 0;
        }
        case WM_CLOSE:
            if (on_close) {
                on_close();
            } else {
                answer_ = kClosed;
            }
            return 0;
        default: return DefWindowProcW(window_, message, w, l);
    }
}

}  // namespace kitforge::window
