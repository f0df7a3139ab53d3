// Times `kitforge-cli make-sfx` on a large archive against, in the same run, `cp` of the same
// archive and `cat stub zip > exe; zip -A exe` (Info-ZIP's way to the same result). Copying is
// most of what the conversion does, so cp is the floor it is measured against.
//
//   sfx_benchmark [--total-mib M] [--runs R] [--folder DIR] [--cli PATH] [--stub PATH]
//
// Defaults: an archive of about 1 GiB (eight stored files of pseudo-random bytes, made by
// Info-ZIP zip), 5 timed runs of each command after one untimed run that warms the page cache,
// in a temporary folder under $TMPDIR or /tmp that is removed afterwards. The conversion gets
// a hard link to the archive each time, since it deletes its source (the link) on success.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "os/file.h"
#include "platform/paths.h"

namespace {

using namespace kitforge::bench;

using Settings = BenchSettings;

Settings ParseSettings(int argc, char** argv) {
    return ParseBenchSettings(
        argc, argv, {"sfx_benchmark", "converts a large zip and compares it with cp and zip -A", false, "zipsfx.bin"});
}

std::string MakeArchive(const std::string& folder, const Settings& settings) {
    const std::string tree = folder + "tree/";
    std::filesystem::create_directory(tree);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    const int files = 8;
    for (int i = 0; i < files; ++i) {
        WriteRandomFile(tree + "part" + std::to_string(i) + ".bin", settings.total_mib * 1024 * 1024 / files, state);
    }
    const std::string archive = folder + "archive.zip";
    RunShellMeasured("cd '" + tree + "' && zip -q -0 -r '" + archive + "' .");
    std::filesystem::remove_all(tree);
    return archive;
}

}  // namespace

int main(int argc, char** argv) {
    const Settings settings = ParseSettings(argc, argv);
    std::string folder;
    try {
        folder = MakeWorkFolder(settings.folder, "kitforge-sfx-bench");
        std::printf("making an archive of about %llu MiB in %s\n", static_cast<unsigned long long>(settings.total_mib),
                    folder.c_str());
        std::fflush(stdout);
        const std::string archive = MakeArchive(folder, settings);
        const std::uint64_t archive_bytes = static_cast<std::uint64_t>(kitforge::FileSize(archive));
        // The conversion's undoable deletes must not reach the user's own trash.
        ::setenv("XDG_DATA_HOME", (folder + "xdg").c_str(), 1);

        const std::string copy = folder + "copy.zip";
        const std::string link = folder + "run.zip";
        const std::string converted = folder + "run.exe";
        const std::string by_zip = folder + "byzip.exe";
        const std::vector<std::string> cp = {"cp", archive, copy};
        const std::vector<std::string> make_sfx = {settings.cli,  "make-sfx", link,   "--stub",
                                                   settings.stub, "--delete", "final"};
        const std::vector<std::string> cat_zip = {
            "sh", "-c", "cat '" + settings.stub + "' '" + archive + "' > '" + by_zip + "' && zip -qA '" + by_zip + "'"};

        std::vector<double> cp_times, sfx_times, zip_times;
        long peak_kib = 0;
        for (int run = 0; run <= settings.runs; ++run) {
            const auto timed = [&](const std::vector<std::string>& command) {
                for (const auto& path : {copy, converted, by_zip, link}) std::filesystem::remove(path);
                std::filesystem::create_hard_link(archive, link);
                ::sync();
                return RunMeasured(command);
            };
            // The order turns with every run, so none of the three always follows another.
            MeasuredRun results[3];
            const std::vector<std::string>* commands[3] = {&cp, &make_sfx, &cat_zip};
            for (int k = 0; k < 3; ++k) {
                const int which = (k + run) % 3;
                results[which] = timed(*commands[which]);
            }
            if (run == 0) continue;  // warms the cache
            cp_times.push_back(results[0].seconds);
            sfx_times.push_back(results[1].seconds);
            zip_times.push_back(results[2].seconds);
            peak_kib = std::max(peak_kib, results[1].peak_kib);
        }
        const double cp_median = Median(cp_times);
        const double sfx_median = Median(sfx_times);
        const double zip_median = Median(zip_times);
        const double mib = static_cast<double>(archive_bytes) / (1024.0 * 1024.0);
        std::printf("archive: %.0f MiB, %d runs each, medians:\n", mib, settings.runs);
        std::printf("  cp                     %7.3f s  %7.0f MiB/s\n", cp_median, mib / cp_median);
        std::printf("  kitforge-cli make-sfx  %7.3f s  %7.0f MiB/s  %.2f x cp  (peak memory %ld KiB)\n", sfx_median,
                    mib / sfx_median, sfx_median / cp_median, peak_kib);
        std::printf("  cat + zip -A           %7.3f s  %7.0f MiB/s  %.2f x cp\n", zip_median, mib / zip_median,
                    zip_median / cp_median);
        ReportResult("make-sfx", "kitforge-cli make-sfx / cp, 1 GiB archive (median)", Fixed(sfx_median / cp_median, 2),
                     "at most 1.15", sfx_median / cp_median <= 1.15);
        ReportResult("make-sfx", "cat + zip -A / cp (for comparison)", Fixed(zip_median / cp_median, 2));
        std::filesystem::remove_all(folder);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "sfx_benchmark: %s\n", error.what());
        std::error_code ignored;
        if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
        return 1;
    }
}
