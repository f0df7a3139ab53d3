// RunProgram on Windows: CreateProcessW with the standard streams on pipes; two threads drain
// the output pipes while the input is written, so no side can block the other.
#include <windows.h>

#include <stdexcept>
#include <thread>

#include "support/run_program.h"

namespace kitforge::testing {

namespace {

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::wstring Quoted(const std::wstring& word) {
    if (!word.empty() && word.find_first_of(L" \t\n\v\"") == std::wstring::npos) return word;
    std::wstring quoted = L"\"";
    for (auto it = word.begin();; ++it) {
        std::size_t backslashes = 0;
        while (it != word.end() && *it == L'\\') {
            ++it;
            ++backslashes;
        }
        if (it == word.end()) {
            quoted.append(backslashes * 2, L'\\');
            break;
        }
        quoted.append(*it == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        quoted.push_back(*it);
    }
    return quoted + L"\"";
}

void MakePipe(HANDLE& read, HANDLE& write, bool child_reads) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (!CreatePipe(&read, &write, &inherit, 0)) throw std::runtime_error("CreatePipe failed");
    // Only the child's end is inherited.
    SetHandleInformation(child_reads ? write : read, HANDLE_FLAG_INHERIT, 0);
}

void Drain(HANDLE pipe, std::string& text) {
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& arguments, const std::string& folder,
                         const std::string& input) {
    HANDLE in_read, in_write, out_read, out_write, err_read, err_write;
    MakePipe(in_read, in_write, true);
    MakePipe(out_read, out_write, false);
    MakePipe(err_read, err_write, false);

    std::wstring line;
    for (const auto& argument : arguments) line += (line.empty() ? L"" : L" ") + Quoted(Wide(argument));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in_read;
    startup.hStdOutput = out_write;
    startup.hStdError = err_write;
    PROCESS_INFORMATION process{};
    const std::wstring wide_folder = Wide(folder);
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.empty() ? nullptr : wide_folder.c_str(), &startup, &process);
    CloseHandle(in_read);
    CloseHandle(out_write);
    CloseHandle(err_write);
    ProgramResult result;
    if (!started) {
        CloseHandle(in_write);
        CloseHandle(out_read);
        CloseHandle(err_read);
        result.status = 127;
        return result;
    }
    std::thread out_reader(Drain, out_read, std::ref(result.out));
    std::thread err_reader(Drain, err_read, std::ref(result.err));
    DWORD wrote = 0;
    for (std::size_t done = 0; done < input.size(); done += wrote) {
        if (!WriteFile(in_write, input.data() + done, static_cast<DWORD>(input.size() - done), &wrote, nullptr)) break;
    }
    CloseHandle(in_write);
    out_reader.join();
    err_reader.join();
    CloseHandle(out_read);
    CloseHandle(err_read);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    result.status = static_cast<int>(code);
    return result;
}

std::string BuiltProgram(const std::string& name) { return std::string(KITFORGE_BIN_DIR) + "/" + name; }

}  // namespace kitforge::testing
