// Times ZIPDLL.DLL storing one large file (5 GiB by default, so the archive needs zip64
// records) against `cp` of the same file, in the same run, and reports the ratios and the
// library's peak memory.
//
//   zipdll_zip64_bench [--total-mib M] [--runs R] [--folder DIR]
//
// The source is written once with pseudo-random bytes, so that no file system can shortcut
// it, and stays in the page cache for every run (the machine needs the memory for it). The
// library flushes the finished archive to the disk before it puts it in place; so it is
// compared both with `cp` alone and with `cp` followed by flushing the copy, which is the same
// work. Each run is a child process of its own, so that its peak memory is its own; the median
// of R runs (default 3) is reported after one untimed run of each.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "zipdll_add_call.h"

namespace {

using kitforge::bench::Fixed;
using kitforge::bench::MeasuredRun;
using kitforge::bench::ReportResult;

// `cp`, then optionally the copy flushed to the disk, as the library flushes its archive.
int Copy(const std::string& source, const std::string& target, bool flush) {
    std::string command = "cp --reflink=never '" + source + "' '" + target + "'";
    if (std::system(command.c_str()) != 0) return 1;
    if (!flush) return 0;
    const int fd = open(target.c_str(), O_RDONLY);
    const bool ok = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0) close(fd);
    return ok ? 0 : 1;
}

MeasuredRun MedianRun(std::vector<MeasuredRun> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const MeasuredRun& a, const MeasuredRun& b) { return a.seconds < b.seconds; });
    MeasuredRun median = runs[runs.size() / 2];
    for (const MeasuredRun& run : runs) {
        median.peak_kib = std::max(median.peak_kib, run.peak_kib);
        median.exit_status = std::max(median.exit_status, run.exit_status);
    }
    return median;
}

}  // namespace

int main(int argc, char** argv) {
    bool size_given = false;
    for (int i = 1; i < argc; ++i) size_given = size_given || std::strcmp(argv[i], "--total-mib") == 0;
    kitforge::bench::BenchSettings settings = kitforge::bench::ParseBenchSettings(
        argc, argv, {"zipdll_zip64_bench", "ZIPDLL.DLL storing one large file (zip64) against cp of it"});
    if (!size_given) settings.total_mib = 5120;
    if (settings.runs == 5) settings.runs = 3;
    const std::string library = std::filesystem::path(argv[0]).parent_path() / "ZIPDLL.DLL";
    const std::string work = kitforge::bench::MakeWorkFolder(settings.folder, "zipdll-zip64-");
    const std::string source = work + "source.bin", archive = work + "stored.zip", copy = work + "copy.bin";
    const std::uint64_t bytes = settings.total_mib << 20;
    std::uint64_t state = 1;
    kitforge::bench::WriteRandomFile(source, bytes, state);
    std::printf("source: %.2f GiB of random bytes; %d timed runs each\n", bytes / 1073741824.0, settings.runs);

    const auto measure = [&](int which) {
        std::filesystem::remove(archive);
        std::filesystem::remove(copy);
        return kitforge::bench::MeasureChild([&] {
            if (which == 0) return kitforge::bench::RunZipDllAdd(library, source, archive, 0, false);
            return Copy(source, copy, which == 2);
        });
    };
    std::vector<MeasuredRun> runs[3];
    for (int which = 0; which < 3; ++which) measure(which);  // warms the page cache
    for (int run = 0; run < settings.runs; ++run)
        for (int which = 0; which < 3; ++which) runs[which].push_back(measure(which));
    const MeasuredRun ours = MedianRun(runs[0]), cp = MedianRun(runs[1]), cp_flushed = MedianRun(runs[2]);

    measure(0);
    const bool valid =
        ours.exit_status == 0 && std::system(("unzip -tq '" + archive + "' >/dev/null 2>&1").c_str()) == 0;
    const auto row = [&](const char* name, const MeasuredRun& r) {
        std::printf("%-22s %8.2f s %8.1f MB/s %8.2f s cpu %8.1f MiB peak\n", name, r.seconds, bytes / r.seconds / 1e6,
                    r.cpu_seconds, r.peak_kib / 1024.0);
    };
    row("ZIPDLL.DLL, stored", ours);
    row("cp", cp);
    row("cp, then flushed", cp_flushed);
    std::printf("archive: %s\n", valid ? "unzip -t ok" : "FAILED");
    const double ratio = ours.seconds / cp_flushed.seconds, plain_ratio = ours.seconds / cp.seconds;
    const double peak_mib = static_cast<double>(ours.peak_kib) / 1024.0;
    ReportResult("zip library, zip64", "stored archive / cp then flush, wall time (median)", Fixed(ratio, 2),
                 "at most 1.3", ratio <= 1.3);
    ReportResult("zip library, zip64", "stored archive / cp alone, wall time (median)", Fixed(plain_ratio, 2));
    ReportResult("zip library, zip64", "peak memory of the stored Add", Fixed(peak_mib, 1) + " MiB", "under 64 MiB",
                 peak_mib < 64);
    std::filesystem::remove_all(work);
    return valid ? 0 : 1;
}
