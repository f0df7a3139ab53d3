// The library's file failures keep the texts it has always given: "Cannot <action> <path>: " and
// the system's own words, without the program's "(error N)".

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "archive_commit.h"
#include "file_io.h"
#include "support/temp_folder.h"

namespace {

using kitforge::testing::TempFolder;
using kitforge::testing::WriteBytes;

TEST(ZipdllFileMessages, NameTheActionThePathAndTheSystemsReason) {
    TempFolder folder;
    WriteBytes(folder / "short", "abc");
    const std::string missing = folder / "missing";
    struct Row {
        const char* name;
        std::function<void()> call;
        std::string message;
    };
    const Row rows[] = {
        {"open", [&] { zipdll::OpenRead(missing); }, "Cannot open " + missing + ": No such file or directory"},
        {"read past the end",
         [&] {
             zipdll::File file = zipdll::OpenRead(folder / "short");
             char bytes[8];
             zipdll::ReadExactAt(file, bytes, sizeof bytes, 0);
         },
         "Cannot read " + folder / "short" + ": the file ends too early"},
        {"temporary file", [&] { zipdll::CreateTemporaryFile(missing); },
         "Cannot create a temporary file in " + missing + ": No such file or directory"},
    };
    for (const Row& row : rows) {
        EXPECT_THAT(row.call, ::testing::ThrowsMessage<zipdll::IoFailure>(::testing::StrEq(row.message))) << row.name;
    }
}

}  // namespace
