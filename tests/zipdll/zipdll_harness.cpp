#include "zipdll_harness.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>

namespace zipdll_testing {

namespace {

// The record's caller field points back at the AddCall, as the component's address does.
std::int32_t ZIPDLL_CALL RecordCallback(ZipCallbackRecord* record) {
    auto* call = static_cast<AddCall*>(record->caller);
    CallbackEvent event;
    event.action = record->action;
    event.error_code = record->error_code;
    event.size = record->size;
    event.text.assign(record->text, strnlen(record->text, sizeof(record->text)));
    event.thread = std::this_thread::get_id();
    call->events.push_back(event);
    return call->answer ? call->answer(event) : ZIPDLL_CALLBACK_CONTINUE;
}

std::int32_t Flag(bool value) { return value ? ZIPDLL_TRUE : ZIPDLL_FALSE; }

}  // namespace

ZipLibrary::ZipLibrary() {
    std::string path = std::string(KITFORGE_BIN_DIR) + "/ZIPDLL.DLL";
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        ADD_FAILURE() << "cannot load " << path << ": " << dlerror();
        return;
    }
    exec_ = reinterpret_cast<ZipDllExecFunction>(dlsym(handle_, ZIPDLL_EXEC_NAME));
    version_ = reinterpret_cast<GetZipDllVersionFunction>(dlsym(handle_, ZIPDLL_VERSION_NAME));
    if (exec_ == nullptr || version_ == nullptr) ADD_FAILURE() << "ZIPDLL.DLL lacks an export";
}

ZipLibrary::~ZipLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
}

std::int32_t AddCall::Run(const ZipLibrary& library) {
    events.clear();
    ZipCallRecord record{};
    std::vector<std::string> texts = specs;
    std::vector<ZipFileSpec> elements(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) elements[i].spec = texts[i].data();
    std::array<char, ZIPDLL_PASSWORD_CAPACITY> password_buffer{};
    std::strncpy(password_buffer.data(), password.c_str(), ZIPDLL_PASSWORD_CAPACITY - 1);
    std::string archive_copy = archive;
    std::string temp_copy = temp_dir;

    ZipCallHeader& h = record.header;
    h.caller = this;
    h.record_version = ZIPDLL_RECORD_VERSION;
    h.callback = &RecordCallback;
    h.trace = Flag(trace);
    h.password = password_buffer.data();
    h.encrypt = Flag(encrypt);
    h.hidden_files = Flag(hidden);
    h.no_directory_entries = Flag(!separate_dirs);
    h.verbose = Flag(verbose || trace);
    h.always_true56 = ZIPDLL_TRUE;
    h.compression_level = level;
    h.junk_directory_names = Flag(!dir_names);
    h.recurse = recurse ? 0xFFFF : 0;
    h.always_true80 = ZIPDLL_TRUE;
    h.force_dos = Flag(force_dos);
    h.move = Flag(move);
    h.update = Flag(update);
    h.freshen = Flag(freshen && !update);
    h.zip_time = Flag(zip_time);
    h.spec_count = static_cast<std::int32_t>(texts.size());
    h.archive_name = archive_copy.data();
    record.temp_dir = temp_copy.empty() ? nullptr : temp_copy.data();
    record.specs = elements.empty() ? nullptr : elements.data();
    record.seal = ZIPDLL_RECORD_SEAL;
    return library.Exec(&record);
}

std::vector<CallbackEvent> AddCall::Messages() const {
    std::vector<CallbackEvent> result;
    for (const CallbackEvent& event : events)
        if (event.action == ZIPDLL_ACTION_MESSAGE) result.push_back(event);
    return result;
}

bool AddCall::HasMessageWithCode(int code) const {
    for (const CallbackEvent& event : events)
        if (event.action == ZIPDLL_ACTION_MESSAGE && event.error_code == code) return true;
    return false;
}

std::string TextOf(std::size_t size, unsigned seed) {
    static const char* words[] = {"zip ", "archive ", "installer ", "stub ", "entry ", "deflate ", "\n"};
    std::mt19937 rng(seed);
    std::string text;
    while (text.size() < size) text += words[rng() % 7];
    text.resize(size);
    return text;
}

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    return bytes;
}

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

ToolResult RunTool(const std::string& command) {
    ToolResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool UnzipTestPasses(const std::string& archive, const std::string& password) {
    std::string command = "unzip -t -q ";
    if (!password.empty()) command += "-P " + Quote(password) + " ";
    ToolResult result = RunTool(command + Quote(archive));
    if (result.status != 0) ADD_FAILURE() << "unzip -t " << archive << ":\n" << result.output;
    return result.status == 0;
}

bool SevenZipTestPasses(const std::string& archive, const std::string& password) {
    ToolResult result =
        RunTool("7z t -bd " + std::string(password.empty() ? "-p-" : "-p" + Quote(password)) + " " + Quote(archive));
    if (result.status != 0) ADD_FAILURE() << "7z t " << archive << ":\n" << result.output;
    return result.status == 0;
}

ToolResult BsdtarFromPipe(const std::string& archive) { return RunTool("cat " + Quote(archive) + " | bsdtar -xOf -"); }

namespace {
const char* kPythonTest = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    if len(sys.argv) > 2:
        z.setpassword(sys.argv[2].encode())
    bad = z.testzip()
    if bad is not None:
        print("bad entry:", bad)
        sys.exit(1)
)";
const char* kPythonNames = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for info in z.infolist():
        print(info.filename)
)";
}  // namespace

bool PythonZipfileTestPasses(const std::string& archive, const std::string& password) {
    std::string command = "python3 -c " + Quote(kPythonTest) + " " + Quote(archive);
    if (!password.empty()) command += " " + Quote(password);
    ToolResult result = RunTool(command);
    if (result.status != 0) ADD_FAILURE() << "python zipfile " << archive << ":\n" << result.output;
    return result.status == 0;
}

std::vector<std::string> PythonEntryNames(const std::string& archive) {
    ToolResult result = RunTool("python3 -c " + Quote(kPythonNames) + " " + Quote(archive));
    EXPECT_EQ(result.status, 0) << result.output;
    std::vector<std::string> names;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) names.push_back(line);
    return names;
}

std::string UnzipEntry(const std::string& archive, const std::string& name, const std::string& password) {
    std::string command = "unzip -p ";
    if (!password.empty()) command += "-P " + Quote(password) + " ";
    ToolResult result = RunTool(command + Quote(archive) + " " + Quote(name));
    EXPECT_EQ(result.status, 0) << result.output;
    return result.output;
}

}  // namespace zipdll_testing
