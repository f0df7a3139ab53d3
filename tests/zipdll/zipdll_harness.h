#pragma once
// Drives the real ZIPDLL.DLL as the zip component does: loads it by its path, builds a call
// record of the current layout, and records every callback. Also runs the tools we did not
// write (Info-ZIP unzip, Python's zipfile) that check what the library wrote.

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "formats/zip_call_records.h"

namespace zipdll_testing {

struct CallbackEvent {
    int action = 0;
    int error_code = 0;
    std::uint32_t size = 0;
    std::string text;
    std::thread::id thread;
};

class ZipLibrary {
public:
    ZipLibrary();  // loads KITFORGE_BIN_DIR/ZIPDLL.DLL or fails the test
    ~ZipLibrary();
    std::int32_t Version() const { return version_(); }
    std::int32_t Exec(void* record) const { return exec_(record); }

private:
    void* handle_ = nullptr;
    ZipDllExecFunction exec_ = nullptr;
    GetZipDllVersionFunction version_ = nullptr;
};

// The options of one Add, with the component's defaults (an empty option set, level 9).
struct AddCall {
    std::string archive;
    std::vector<std::string> specs;
    int level = 9;
    std::string password;
    std::string temp_dir;
    bool encrypt = false, hidden = false, separate_dirs = false, dir_names = false, recurse = false;
    bool force_dos = false, move = false, update = false, freshen = false, zip_time = false;
    bool verbose = false, trace = false;
    // Answers each callback; the default lets the library go on.
    std::function<int(const CallbackEvent&)> answer;

    // Filled by Run.
    std::vector<CallbackEvent> events;
    std::int32_t Run(const ZipLibrary& library);

    std::vector<CallbackEvent> Messages() const;  // action 4 only
    bool HasMessageWithCode(int code) const;
};

// Reproducible inputs: text of a few words that deflates well, and bytes that do not shrink.
std::string TextOf(std::size_t size, unsigned seed);
std::string RandomBytes(std::size_t size, unsigned seed);

struct ToolResult {
    int status = -1;
    std::string output;
};
// Runs a shell command line and captures its output and exit status.
ToolResult RunTool(const std::string& command);
std::string Quote(const std::string& text);

// `unzip -t` passes (with a password when given).
bool UnzipTestPasses(const std::string& archive, const std::string& password = {});
// Python's zipfile opens the archive and testzip() finds no bad entry.
bool PythonZipfileTestPasses(const std::string& archive, const std::string& password = {});
// The stored names, in archive order, as Python's zipfile reads them.
std::vector<std::string> PythonEntryNames(const std::string& archive);
// 7-Zip's `7z t` passes (with a password when given).
bool SevenZipTestPasses(const std::string& archive, const std::string& password = {});
// Every entry's contents in archive order, as bsdtar gives them when it reads the archive from a
// pipe: from the local headers and data descriptors alone, never the central directory.
ToolResult BsdtarFromPipe(const std::string& archive);
// One entry's contents, extracted by unzip -p.
std::string UnzipEntry(const std::string& archive, const std::string& name, const std::string& password = {});

}  // namespace zipdll_testing
