#include "bench_support.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "os/file.h"
#include "platform/paths.h"

namespace kitforge::bench {

namespace {

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

std::string Describe(const std::vector<std::string>& arguments) {
    std::string text;
    for (std::size_t i = 0; i < arguments.size() && i < 2; ++i) text += (i ? " " : "") + arguments[i];
    return text;
}

}  // namespace

MeasuredRun MeasureChild(const std::function<int()>& body) {
    std::fflush(nullptr);  // or the child would print what the parent has buffered
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("cannot start a child process");
    if (pid == 0) ::_exit(body());
    int status = 0;
    struct rusage usage {};
    if (::wait4(pid, &status, 0, &usage) != pid) throw std::runtime_error("cannot wait for a child process");
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    MeasuredRun run;
    run.seconds = elapsed.count();
    run.cpu_seconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    run.peak_kib = usage.ru_maxrss;
    run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    return run;
}

MeasuredRun RunMeasured(const std::vector<std::string>& arguments, const std::string& stdout_path) {
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const MeasuredRun run = MeasureChild([&] {
        const int out = ::open(stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = ::open("/dev/null", O_WRONLY);
        if (out < 0 || null < 0) return 126;
        ::dup2(out, 1);
        ::dup2(null, 2);
        ::execvp(argv[0], argv.data());
        return 127;
    });
    if (run.exit_status != 0) {
        throw std::runtime_error(Describe(arguments) + " failed (exit status " + std::to_string(run.exit_status) + ")");
    }
    return run;
}

MeasuredRun RunShellMeasured(const std::string& command) { return RunMeasured({"sh", "-c", command}); }

void WriteRandomFile(const std::string& path, std::uint64_t size, std::uint64_t& state) {
    File file = File::Create(path);
    std::vector<std::uint64_t> buffer(1 << 17);  // 1 MiB
    while (size > 0) {
        for (auto& word : buffer) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(size, buffer.size() * 8));
        file.WriteAll(buffer.data(), chunk);
        size -= chunk;
    }
    file.Close();
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Best(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

std::string MakeWorkFolder(const std::string& base, const std::string& prefix) {
    std::string folder = base;
    if (folder.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        folder = tmp && *tmp ? tmp : "/tmp";
    }
    std::string pattern = folder + "/" + prefix + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a folder in " + folder);
    return pattern + "/";
}

void ReportResult(const std::string& benchmark, const std::string& measure, const std::string& value,
                  const std::string& target, bool met) {
    std::printf("result: %s | %s | %s | %s | %s\n", benchmark.c_str(), measure.c_str(), value.c_str(),
                target.empty() ? "-" : target.c_str(), target.empty() ? "-" : (met ? "met" : "MISSED"));
    std::fflush(stdout);
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

namespace {

[[noreturn]] void BenchUsage(const BenchCommand& command, const std::string& why) {
    std::fprintf(stderr, "%s: %s\nusage: %s%s [--total-mib M] [--runs R] [--folder DIR] [--cli PATH]%s\n", command.name,
                 why.c_str(), command.name, command.takes_files ? " [--files N]" : "",
                 command.default_stub != nullptr ? " [--stub PATH]" : "");
    std::exit(2);
}

}  // namespace

BenchSettings ParseBenchSettings(int argc, char** argv, const BenchCommand& command) {
    BenchSettings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--help" || option == "-h") BenchUsage(command, command.purpose);
        if (i + 1 >= argc) BenchUsage(command, "missing value after " + option);
        const std::string value = argv[++i];
        if (option == "--files" && command.takes_files)
            settings.files = std::stoi(value);
        else if (option == "--total-mib")
            settings.total_mib = std::stoull(value);
        else if (option == "--runs")
            settings.runs = std::stoi(value);
        else if (option == "--folder")
            settings.folder = value;
        else if (option == "--cli")
            settings.cli = value;
        else if (option == "--stub" && command.default_stub != nullptr)
            settings.stub = value;
        else
            BenchUsage(command, "unknown option " + option);
    }
    if (settings.files < 1 || settings.runs < 1 || settings.total_mib < 1) {
        BenchUsage(command, "--files, --total-mib and --runs must be at least 1");
    }
    if (settings.cli.empty()) settings.cli = ProgramFolder() + "kitforge-cli";
    if (settings.stub.empty() && command.default_stub != nullptr)
        settings.stub = ProgramFolder() + command.default_stub;
    return settings;
}

}  // namespace kitforge::bench
