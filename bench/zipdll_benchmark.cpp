// Times ZIPDLL.DLL at level 9 against Info-ZIP `zip -9` on the same corpus, in the same run,
// and reports speed, archive size and peak memory of each, and the ratios.
//
//   zipdll_benchmark --corpus DIR [--runs R] [--level N] [--library PATH] [--keep] [--library-only]
//
// Make a corpus with bench/make_corpus.sh (about 300 MB: 40 % text, 40 % binaries, 20 % random
// bytes). Each tool runs in a child process of its own, so that its peak memory (maximum
// resident set) and processor time are its own; the archives go to a temporary folder and are
// checked with `unzip -tq`. Each tool runs R times (default 3) after one untimed run that warms
// the page cache; the median is reported.

#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "zipdll_add_call.h"
#include "formats/zip_call_records.h"

namespace {

struct Settings {
    std::string corpus;
    int runs = 3;
    int level = 9;
    std::string library;
    bool keep = false;
    bool library_only = false;  // for profiling the library alone
};

struct RunResult {
    double seconds = 0;
    double cpu_seconds = 0;
    long peak_kib = 0;
    std::uint64_t archive_bytes = 0;
    bool ok = false;
};

[[noreturn]] void Usage(const char* why) {
    std::fprintf(stderr,
                 "zipdll_benchmark: %s\nusage: zipdll_benchmark --corpus DIR [--runs R] [--level N] "
                 "[--library PATH] [--keep] [--library-only]\n",
                 why);
    std::exit(2);
}

Settings ParseArguments(int argc, char** argv) {
    Settings settings;
    settings.library = std::filesystem::path(argv[0]).parent_path() / "ZIPDLL.DLL";
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) Usage(("missing value for " + option).c_str());
            return argv[++i];
        };
        if (option == "--corpus")
            settings.corpus = value();
        else if (option == "--runs")
            settings.runs = std::max(1, std::atoi(value().c_str()));
        else if (option == "--level")
            settings.level = std::atoi(value().c_str());
        else if (option == "--library")
            settings.library = value();
        else if (option == "--keep")
            settings.keep = true;
        else if (option == "--library-only")
            settings.library_only = true;
        else
            Usage(("unknown option " + option).c_str());
    }
    if (settings.corpus.empty()) Usage("--corpus is required");
    settings.corpus = std::filesystem::absolute(settings.corpus);
    return settings;
}

// The library's Add in this (child) process: the whole corpus, recursively, with folder names,
// folder entries and hidden files, as `zip -r` takes it.
int RunLibraryAdd(const Settings& settings, const std::string& archive) {
    if (chdir(settings.corpus.c_str()) != 0) return 1;
    return kitforge::bench::RunZipDllAdd(settings.library, ".", archive, settings.level, true);
}

int RunInfoZip(const Settings& settings, const std::string& archive) {
    if (chdir(settings.corpus.c_str()) != 0) return 1;
    std::string level = "-" + std::to_string(settings.level);
    execlp("zip", "zip", "-q", "-r", "-X", level.c_str(), archive.c_str(), ".", static_cast<char*>(nullptr));
    std::perror("zipdll_benchmark: zip");
    _exit(127);
}

RunResult Measure(const Settings& settings, const std::string& archive, bool ours) {
    std::filesystem::remove(archive);
    const kitforge::bench::MeasuredRun run = kitforge::bench::MeasureChild(
        [&] { return ours ? RunLibraryAdd(settings, archive) : RunInfoZip(settings, archive); });
    RunResult result;
    result.seconds = run.seconds;
    result.cpu_seconds = run.cpu_seconds;
    result.peak_kib = run.peak_kib;
    result.ok = run.exit_status == 0;
    std::error_code error;
    result.archive_bytes = std::filesystem::file_size(archive, error);
    return result;
}

RunResult Median(std::vector<RunResult> runs) {
    std::sort(runs.begin(), runs.end(), [](const RunResult& a, const RunResult& b) { return a.seconds < b.seconds; });
    RunResult median = runs[runs.size() / 2];
    for (const RunResult& run : runs) {
        median.peak_kib = std::max(median.peak_kib, run.peak_kib);
        median.ok = median.ok && run.ok;
    }
    return median;
}

std::uint64_t CorpusBytes(const std::string& folder, std::size_t& files) {
    std::uint64_t total = 0;
    files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        total += entry.file_size();
        ++files;
    }
    return total;
}

bool Verify(const std::string& archive) {
    std::string command = "unzip -tq '" + archive + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings = ParseArguments(argc, argv);
    std::size_t files = 0;
    std::uint64_t corpus_bytes = CorpusBytes(settings.corpus, files);
    std::string work = std::filesystem::temp_directory_path() / ("zipdll-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(work);
    const std::string ours_archive = work + "/zipdll.zip", theirs_archive = work + "/infozip.zip";

    std::printf("corpus: %s, %zu files, %.1f MB; level %d; %d timed runs each\n", settings.corpus.c_str(), files,
                corpus_bytes / 1e6, settings.level, settings.runs);
    if (settings.library_only) {
        for (int run = 0; run < settings.runs; ++run) {
            RunResult r = Measure(settings, ours_archive, true);
            std::printf("ZIPDLL.DLL %8.2f s %8.2f s cpu %13llu bytes %8.1f MiB peak\n", r.seconds, r.cpu_seconds,
                        static_cast<unsigned long long>(r.archive_bytes), r.peak_kib / 1024.0);
        }
        std::filesystem::remove_all(work);
        return 0;
    }
    Measure(settings, ours_archive, true);
    Measure(settings, theirs_archive, false);
    std::vector<RunResult> ours_runs, theirs_runs;
    for (int run = 0; run < settings.runs; ++run) {
        ours_runs.push_back(Measure(settings, ours_archive, true));
        theirs_runs.push_back(Measure(settings, theirs_archive, false));
    }
    RunResult ours = Median(ours_runs), theirs = Median(theirs_runs);
    bool ours_valid = ours.ok && Verify(ours_archive), theirs_valid = theirs.ok && Verify(theirs_archive);

    auto row = [&](const char* name, const RunResult& r, bool valid) {
        std::printf("%-12s %8.2f s %8.1f MB/s %8.2f s cpu %13llu bytes %8.1f MiB peak  %s\n", name, r.seconds,
                    corpus_bytes / r.seconds / 1e6, r.cpu_seconds, static_cast<unsigned long long>(r.archive_bytes),
                    r.peak_kib / 1024.0, valid ? "unzip -t ok" : "FAILED");
    };
    std::printf("%-12s %10s %13s %12s %19s %17s\n", "tool", "wall", "speed", "cpu", "archive", "memory");
    row("ZIPDLL.DLL", ours, ours_valid);
    row("zip", theirs, theirs_valid);
    std::printf("speed: %.2f times zip; archive: %.2f %% of zip's (%+lld bytes)\n", theirs.seconds / ours.seconds,
                100.0 * ours.archive_bytes / theirs.archive_bytes,
                static_cast<long long>(ours.archive_bytes) - static_cast<long long>(theirs.archive_bytes));
    using kitforge::bench::Fixed;
    using kitforge::bench::ReportResult;
    const double speed = theirs.seconds / ours.seconds;
    const double peak_mib = static_cast<double>(ours.peak_kib) / 1024.0;
    ReportResult("zip library", "zip -" + std::to_string(settings.level) + " / ZIPDLL.DLL add, wall time (median)",
                 Fixed(speed, 2) + " times faster", "at least 4", speed >= 4);
    ReportResult(
        "zip library", "archive size, ZIPDLL.DLL / zip -" + std::to_string(settings.level),
        Fixed(100.0 * static_cast<double>(ours.archive_bytes) / static_cast<double>(theirs.archive_bytes), 2) + " %",
        "no larger", ours.archive_bytes <= theirs.archive_bytes);
    ReportResult("zip library", "peak memory of ZIPDLL.DLL add", Fixed(peak_mib, 1) + " MiB", "under 128 MiB",
                 peak_mib < 128);
    ReportResult("zip library", "processor time, zip / ZIPDLL.DLL", Fixed(theirs.cpu_seconds / ours.cpu_seconds, 2));
    if (!settings.keep)
        std::filesystem::remove_all(work);
    else
        std::printf("archives kept in %s\n", work.c_str());
    return ours_valid && theirs_valid ? 0 : 1;
}
