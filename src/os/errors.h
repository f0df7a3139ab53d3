#pragma once
// The failures that the programs and the zip library report to the user. Every one carries the
// text the user reads; file failures also name the action and the file and carry the
// operating system's error code and its text.

#include <stdexcept>
#include <string>
#include <string_view>

namespace kitforge {

// A failure reported to the user with its message text, and nothing more.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A failure of the file layer. `Code()` is the errno value (0 when the file simply ended
// early or held something it should not), `Path()` the file as the caller named it (the
// message shows it as DisplayPath does), `SystemCode()` the system's own code behind `Code()`
// when one was noted (a Windows error code), else 0.
class FileError : public Error {
public:
    // The message reads "Cannot <action> <path>: <reason>", the reason being the system's
    // text for `code` followed by its number, or `reason` when given.
    FileError(std::string_view action, std::string path, int code, std::string_view reason = {});

    const std::string& Action() const noexcept { return action_; }
    const std::string& Path() const noexcept { return path_; }
    int Code() const noexcept { return code_; }
    unsigned long SystemCode() const noexcept { return system_code_; }
    // The text after "<path>: ".
    const std::string& Reason() const noexcept { return reason_; }

private:
    struct Parts {
        std::string action, path;
        int code;
        unsigned long system_code;
        std::string reason;
    };
    explicit FileError(Parts parts);

    std::string action_;
    std::string path_;
    int code_;
    unsigned long system_code_;
    std::string reason_;
};

// Creating, writing, flushing or renaming a file failed.
class InOutError : public FileError {
public:
    using FileError::FileError;
};

// Opening or reading a file failed, or it yielded fewer bytes than it should.
class ReadError : public FileError {
public:
    using FileError::FileError;
};

// Windows reports failures with its own codes, which the programs turn into errno values to
// decide what to do; the code itself is noted here (per thread) where it is turned, so that the
// message can still give the system's own words and number for it rather than the C runtime's.
void NoteSystemCode(int code, unsigned long system_code);
// The system code noted last on this thread when it was noted for the errno value `code`,
// else 0.
unsigned long NotedSystemCode(int code);
// The system's text for one of its own codes (FormatMessage on Windows, strerror elsewhere).
std::string SystemCodeText(unsigned long system_code);

// The system's text for an errno value followed by "(error N)": the text and number of the
// system code noted for it when there is one.
std::string SystemErrorText(int code);

// The system's own words for a failure whose errno value is `code`: the text of the system
// code noted for it, else strerror's text (on Windows also the Windows error that
// GetLastError() still holds, when it is the one behind `code`).
std::string SystemReason(int code);

}  // namespace kitforge
