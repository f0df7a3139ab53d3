#pragma once
// For tests of archives and installers past the 1990s zip limits (4 GiB, 65,535 entries) and
// of the zip readers we check them against. The tests past 4 GiB take minutes and several GiB
// of disk, so they run only when asked for with KITFORGE_LARGE_TESTS=1.

#include <cstdint>
#include <string>

namespace kitforge::testing {

// True when KITFORGE_LARGE_TESTS is set to 1.
bool LargeTestsWanted();

// A file of `size` zero bytes that takes no disk space where the file system allows it.
void MakeSparseFile(const std::string& path, std::uint64_t size);

// True when `name` (unzip, 7z, bsdtar, python3, ...) can be started from PATH.
bool ToolOnPath(const std::string& name);

}  // namespace kitforge::testing

// Skips the calling test unless large tests were asked for.
#define KITFORGE_LARGE_TEST_ONLY()                                                           \
    do {                                                                                     \
        if (!::kitforge::testing::LargeTestsWanted())                                        \
            GTEST_SKIP() << "writes files past 4 GiB; set KITFORGE_LARGE_TESTS=1 to run it"; \
    } while (0)

// Skips the calling test when a zip reader we check against is missing.
#define KITFORGE_NEEDS_TOOL(name)                                                                  \
    do {                                                                                           \
        if (!::kitforge::testing::ToolOnPath(name)) GTEST_SKIP() << (name) << " is not installed"; \
    } while (0)
