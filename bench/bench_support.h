#pragma once
// What every benchmark needs: child processes timed with their own processor time and peak
// memory, reproducible pseudo-random files, medians, a scratch folder, and one line per
// measured ratio in a fixed form that scripts/bench gathers into bench/RESULTS.md.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kitforge::bench {

// The options the benchmarks that time whole programs share.
struct BenchSettings {
    int files = 1000;                // --files N (only where the benchmark takes it)
    std::uint64_t total_mib = 1024;  // --total-mib M
    int runs = 5;                    // --runs R
    std::string folder;              // --folder DIR: where the scratch folder goes
    std::string cli;                 // --cli PATH (default: kitforge-cli beside the benchmark)
    std::string stub;                // --stub PATH (only where the benchmark takes it)
};

struct BenchCommand {
    const char* name;                    // as in the usage line
    const char* purpose;                 // what --help says it does
    bool takes_files = false;            // --files
    const char* default_stub = nullptr;  // --stub, and the stub beside the benchmark it defaults to
};

// Reads the command line; on --help or a wrong option prints the usage and exits (2).
BenchSettings ParseBenchSettings(int argc, char** argv, const BenchCommand& command);

struct MeasuredRun {
    double seconds = 0;      // wall time
    double cpu_seconds = 0;  // user + system time of the child
    long peak_kib = 0;       // its maximum resident set
    int exit_status = 0;     // 0 = exited with 0
};

// Runs `body` in a child process and measures it; the child exits with what `body` returns.
MeasuredRun MeasureChild(const std::function<int()>& body);

// Runs a program (searched in PATH) with its standard output going to `stdout_path` and its
// standard error thrown away. Throws when it cannot start or does not exit with 0.
MeasuredRun RunMeasured(const std::vector<std::string>& arguments, const std::string& stdout_path = "/dev/null");

// Runs a shell command line the same way.
MeasuredRun RunShellMeasured(const std::string& command);

// Deterministic pseudo-random bytes (xorshift), so no file system or compressor can shortcut
// them; `state` carries on from file to file.
void WriteRandomFile(const std::string& path, std::uint64_t size, std::uint64_t& state);

double Median(std::vector<double> values);
double Best(const std::vector<double>& values);

// A fresh folder under `base`, or under $TMPDIR (else /tmp) when `base` is empty; ends in "/".
std::string MakeWorkFolder(const std::string& base, const std::string& prefix);

// One line that scripts/bench picks up:
//   result: <benchmark> | <what is compared> | <value> | <target> | met / MISSED / -
// `target` empty means the figure is reported without a target.
void ReportResult(const std::string& benchmark, const std::string& measure, const std::string& value,
                  const std::string& target = "", bool met = true);

// "1.234" with the given number of decimals.
std::string Fixed(double value, int decimals);

}  // namespace kitforge::bench
