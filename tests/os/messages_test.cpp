// What a failure message shows: paths in the form the user of the system reads, and the
// system's own text and number for the error behind an errno value.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "os/errors.h"
#include "os/native_path.h"
#include "os/system_message.h"

namespace kitforge {
namespace {

TEST(Messages, ShowPathsAsTheUserOfEachSystemWritesThem) {
    struct Case {
        const char* path;
        const char* on_windows;
    };
    const Case cases[] = {
        {"Z:\\tmp\\win/hello-setup.exe", "Z:\\tmp\\win\\hello-setup.exe"},  // a folder joined with "/"
        {"C:/kf-ex/hello.sh", "C:\\kf-ex\\hello.sh"},
        {"C:\\already\\windows", "C:\\already\\windows"},
        {"//server/share/a", "\\\\server\\share\\a"},
        {"/tmp/a\\b", "\\tmp\\a\\b"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(WindowsDisplayPath(c.path), c.on_windows);
        // Elsewhere a "\" may be part of a file name: the path is shown exactly as written.
        EXPECT_EQ(DisplayPath(c.path), c.path);
        EXPECT_EQ(FileError("open", c.path, EACCES).what(),
                  "Cannot open " + std::string(c.path) + ": " + std::strerror(EACCES) + " (error 13)");
    }
}

TEST(Messages, GiveTheSystemsOwnCodeNotedForAnErrnoValue) {
    // A Windows error turned into ENOEXEC (as a program that cannot be started is): the
    // message gives the system's text and number for the code itself.
    NoteSystemCode(ENOEXEC, EACCES);
    const FileError noted("start", "/x/hello.sh", ENOEXEC);
    EXPECT_EQ(noted.Code(), ENOEXEC);
    EXPECT_EQ(noted.SystemCode(), static_cast<unsigned long>(EACCES));
    EXPECT_EQ(noted.Reason(), SystemCodeText(EACCES) + " (error 13)");
    EXPECT_EQ(SystemReason(ENOEXEC), SystemCodeText(EACCES));

    // A failure of another errno value does not borrow it.
    const FileError other("open", "/x/a", ENOENT);
    EXPECT_EQ(other.SystemCode(), 0u);
    EXPECT_EQ(other.Reason(), std::string(std::strerror(ENOENT)) + " (error 2)");
    EXPECT_EQ(SystemErrorText(ENOENT), other.Reason());
    NoteSystemCode(0, 0);
    EXPECT_EQ(SystemErrorText(ENOEXEC), std::string(std::strerror(ENOEXEC)) + " (error 8)");
}

TEST(Messages, TidyTheSystemsSentencesIntoReasons) {
    struct Case {
        const char* formatted;
        const char* reason;
    };
    const Case cases[] = {
        {"Access is denied.\r\n", "Access is denied"},
        {"%1 is not a valid Win32 application.\r\n", "it is not a valid Win32 application"},
        {"The operating system cannot run %1. \r\n", "The operating system cannot run it"},
        {"Message %12 in %2.\r\n", "Message it in it"},
        {"100% sure, %0 kept", "100% sure, %0 kept"},
        {"No such file or directory", "No such file or directory"},
        {".\r\n", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(TidySystemMessage(c.formatted), c.reason) << c.formatted;
}

}  // namespace
}  // namespace kitforge
