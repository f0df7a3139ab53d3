// span_benchmark [FOLDER] [MIB] [RUNS]: splits a 1 GiB zip archive into 100 MB volumes with
// `kitforge-cli span`, against Info-ZIP's `zip -s 100m` on the same archive, a plain `cp` of it
// and `split -b 100000000` of it (the least any tool does to write the same bytes into the same
// number of files), all in the same run on the same disk, and prints the medians and ratios. The
// archive (stored entries of random bytes, so no tool spends its time compressing) is made in
// FOLDER (default: a fresh folder under $TMPDIR or /tmp) and removed at the end. Each command
// runs RUNS times (default 3) after one untimed round that warms the page cache.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "bench_support.h"
#include "platform/paths.h"

namespace fs = std::filesystem;
using namespace kitforge::bench;

namespace {

void Clear(const fs::path& folder) {
    std::error_code ec;
    fs::remove_all(folder, ec);
    fs::create_directories(folder);
}

}  // namespace

int main(int argc, char** argv) {
    const int mib = argc > 2 ? std::atoi(argv[2]) : 1024;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
    if (mib < 1 || runs < 1) {
        std::fprintf(stderr, "usage: span_benchmark [FOLDER] [MIB] [RUNS]\n");
        return 2;
    }
    const std::string cli = kitforge::ProgramFolder() + "kitforge-cli";
    std::string base;
    try {
        base = MakeWorkFolder(argc > 1 ? argv[1] : "", "kitforge-span-bench");
        const fs::path data = fs::path(base) / "data";
        fs::create_directories(data);
        const int files = std::max(1, mib / 128);
        std::printf("making a %d MiB archive of %d stored files of random bytes in %s\n", mib, files, base.c_str());
        std::fflush(stdout);
        std::uint64_t state = 0x9E3779B97F4A7C15ull;
        for (int i = 0; i < files; ++i) {
            WriteRandomFile((data / ("part" + std::to_string(i) + ".bin")).string(),
                            (static_cast<std::uint64_t>(mib) << 20) / static_cast<unsigned>(files), state);
        }
        const std::string source = base + "source.zip";
        RunShellMeasured("cd '" + data.string() + "' && zip -q -0 '" + source + "' *.bin");
        fs::remove_all(data);
        const auto size = fs::file_size(source);

        const fs::path out = fs::path(base) / "out";
        const std::vector<std::string> cp = {"cp", source, (out / "copy.zip").string()};
        const std::vector<std::string> span = {cli,        "span", source, (out / "arch.zip").string(), "--max-volume",
                                               "100000000"};
        const std::vector<std::string> zip = {"zip", "-q", "-s", "100m", source, "--out", (out / "x.zip").string()};
        const std::vector<std::string> split = {"split", "-b", "100000000", source, (out / "part").string()};
        std::vector<double> cp_times, span_times, zip_times, split_times;
        long peak_kib = 0;
        for (int round = 0; round <= runs; ++round) {
            const auto timed = [&](const std::vector<std::string>& command) {
                Clear(out);
                ::sync();
                return RunMeasured(command);
            };
            // The order turns with every round, so none of the four always follows another.
            const std::vector<std::string>* commands[4] = {&cp, &span, &zip, &split};
            MeasuredRun results[4];
            for (int k = 0; k < 4; ++k) {
                const int which = (k + round) % 4;
                results[which] = timed(*commands[which]);
            }
            if (round == 0) continue;
            cp_times.push_back(results[0].seconds);
            span_times.push_back(results[1].seconds);
            zip_times.push_back(results[2].seconds);
            split_times.push_back(results[3].seconds);
            peak_kib = std::max(peak_kib, results[1].peak_kib);
        }
        fs::remove_all(base);

        const double cp_median = Median(cp_times), span_median = Median(span_times), zip_median = Median(zip_times);
        const double split_median = Median(split_times);
        std::printf("archive: %.1f MiB, volumes of 100,000,000 bytes, medians of %d runs each\n",
                    static_cast<double>(size) / 1048576.0, runs);
        std::printf("cp                  %7.3f s\n", cp_median);
        std::printf("kitforge-cli span   %7.3f s   %.2f times cp   (peak memory %ld KiB)\n", span_median,
                    span_median / cp_median, peak_kib);
        std::printf("zip -s 100m         %7.3f s   %.2f times cp\n", zip_median, zip_median / cp_median);
        std::printf("split -b 100000000  %7.3f s   %.2f times cp\n", split_median, split_median / cp_median);
        std::printf("kitforge-cli span is %.2f times as fast as zip -s 100m\n", zip_median / span_median);
        ReportResult("span", "kitforge-cli span / cp, " + std::to_string(mib) + " MiB into 100 MB volumes (median)",
                     Fixed(span_median / cp_median, 2), "at most 1.2", span_median / cp_median <= 1.2);
        ReportResult("span", "zip -s 100m / cp (for comparison)", Fixed(zip_median / cp_median, 2));
        ReportResult("span", "kitforge-cli span / split -b 100000000 (the same bytes into the same files)",
                     Fixed(span_median / split_median, 2));
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "span_benchmark: %s\n", error.what());
        std::error_code ignored;
        if (!base.empty()) fs::remove_all(base, ignored);
        return 1;
    }
}
