// Times `kitforge-cli build` on an installer of many files against `cat stub files... > out`
// on the same files, in the same run, and reports the ratio and the builder's peak memory.
// Copying is what a build does, so cat is the floor it is measured against.
//
//   build_benchmark [--files N] [--total-mib M] [--runs R] [--folder DIR] [--cli PATH]
//
// Defaults: 1,000 files of about 1 GiB together, 5 timed runs of each (after one untimed run
// of each that warms the page cache), in a temporary folder under $TMPDIR or /tmp that is
// removed afterwards. The files hold pseudo-random bytes, between half and one and a half
// times the average size, so no file system can shortcut them.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_support.h"
#include "payload/payload_reader.h"
#include "os/file.h"
#include "platform/paths.h"

namespace {

using namespace kitforge::bench;

using Settings = BenchSettings;

Settings ParseSettings(int argc, char** argv) {
    return ParseBenchSettings(argc, argv,
                              {"build_benchmark", "builds an installer and compares it with cat", true, nullptr});
}

struct Project {
    std::string script;
    std::string stub;
    std::vector<std::string> sources;
    std::uint64_t bytes = 0;
};

Project MakeProject(const std::string& folder, const Settings& settings) {
    Project project;
    project.stub = folder + "setup.ex_";
    project.script = folder + "bench.inf";
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    WriteRandomFile(project.stub, 100 * 1024, state);
    std::filesystem::create_directory(folder + "files");
    const std::uint64_t average = settings.total_mib * 1024 * 1024 / static_cast<std::uint64_t>(settings.files);
    std::string script =
        "[info]\r\ntitle=Benchmark\r\nprompt=Install?\r\nnotes=\r\ncompressed=0\r\noutput=\r\n\r\n[script]\r\n";
    for (int i = 0; i < settings.files; ++i) {
        // Sizes from 0.5 to 1.5 times the average, the same average overall.
        const std::uint64_t size = average / 2 + average * static_cast<std::uint64_t>(i % 11) / 10;
        std::string name = "f";
        name += std::to_string(10000 + i);
        name += ".bin";
        WriteRandomFile(folder + "files/" + name, size, state);
        project.sources.push_back(folder + "files/" + name);
        project.bytes += size;
        script += std::to_string(i + 1) + "=extract \"%apppath%\\files\\" + name + "\" \"%program%\\Bench\"\r\n";
    }
    kitforge::File file = kitforge::File::Create(project.script);
    file.WriteAll(script);
    file.Close();
    return project;
}

}  // namespace

int main(int argc, char** argv) {
    const Settings settings = ParseSettings(argc, argv);
    std::string folder;
    try {
        folder = MakeWorkFolder(settings.folder, "kitforge-bench");
        std::printf("making %d files of about %llu MiB together in %s\n", settings.files,
                    static_cast<unsigned long long>(settings.total_mib), folder.c_str());
        std::fflush(stdout);
        const Project project = MakeProject(folder, settings);

        std::vector<std::string> cat = {"cat", project.stub};
        cat.insert(cat.end(), project.sources.begin(), project.sources.end());
        const std::string cat_out = folder + "cat.out";
        const std::string our_out = folder + "built.exe";
        const std::vector<std::string> build = {settings.cli, "build", project.script, "--stub",
                                                project.stub, "-o",    our_out,        "--quiet"};
        const std::string discard = folder + "build.stdout";

        std::vector<double> cat_times;
        std::vector<double> our_times;
        std::vector<double> cat_cpu;
        std::vector<double> our_cpu;
        long peak_kib = 0;
        for (int run = 0; run <= settings.runs; ++run) {
            // Each command starts from the same state: no output of an earlier run to delete,
            // and no dirty pages of one waiting to be written back. The order alternates, so
            // neither always follows the other.
            const auto timed = [&](const std::vector<std::string>& command, const std::string& out,
                                   const std::string& stdout_path) {
                std::filesystem::remove(out);
                ::sync();
                return RunMeasured(command, stdout_path);
            };
            MeasuredRun by_cat;
            MeasuredRun by_us;
            if (run % 2 == 0) {
                by_cat = timed(cat, cat_out, cat_out);
                by_us = timed(build, our_out, discard);
            } else {
                by_us = timed(build, our_out, discard);
                by_cat = timed(cat, cat_out, cat_out);
            }
            if (run == 0) continue;  // warms the page cache
            cat_times.push_back(by_cat.seconds);
            our_times.push_back(by_us.seconds);
            cat_cpu.push_back(by_cat.cpu_seconds);
            our_cpu.push_back(by_us.cpu_seconds);
            peak_kib = std::max(peak_kib, by_us.peak_kib);
            std::printf("run %d: cat %.3f s (cpu %.3f s), kitforge-cli build %.3f s (cpu %.3f s)\n", run,
                        by_cat.seconds, by_cat.cpu_seconds, by_us.seconds, by_us.cpu_seconds);
            std::fflush(stdout);
        }

        // The installer must be complete, or the timing means nothing.
        const auto payload = kitforge::payload::ReadPayload(our_out);
        if (payload.files.size() != project.sources.size()) throw std::runtime_error("the installer is incomplete");

        const double cat_median = Median(cat_times);
        const double our_median = Median(our_times);
        const double ratio = our_median / cat_median;
        const double best_ratio = Best(our_times) / Best(cat_times);
        const double peak_mib = static_cast<double>(peak_kib) / 1024.0;
        std::printf("files: %d, bytes: %llu (%.1f MiB), installer: %llu bytes\n", settings.files,
                    static_cast<unsigned long long>(project.bytes), static_cast<double>(project.bytes) / 1048576.0,
                    static_cast<unsigned long long>(payload.file_size));
        std::printf("cat (median of %d): %.3f s\n", settings.runs, cat_median);
        std::printf("kitforge-cli build (median of %d): %.3f s\n", settings.runs, our_median);
        std::printf("ratio build/cat: %.3f of the medians, %.3f of the best runs (target at most 1.10: %s)\n", ratio,
                    best_ratio, ratio <= 1.10 ? "met" : "MISSED");
        // Processor time is what the two commands spend themselves; it varies far less than
        // wall time on a busy machine whose disk other work shares.
        std::printf("processor time build/cat: %.3f (medians %.3f s / %.3f s)\n", Median(our_cpu) / Median(cat_cpu),
                    Median(our_cpu), Median(cat_cpu));
        std::printf("peak memory of kitforge-cli build: %.1f MiB (target under 16 MiB: %s)\n", peak_mib,
                    peak_mib < 16.0 ? "met" : "MISSED");
        ReportResult("build", "kitforge-cli build / cat, wall time (median)", Fixed(ratio, 3), "at most 1.10",
                     ratio <= 1.10);
        ReportResult("build", "kitforge-cli build / cat, processor time (median)",
                     Fixed(Median(our_cpu) / Median(cat_cpu), 3));
        ReportResult("build", "peak memory of kitforge-cli build", Fixed(peak_mib, 1) + " MiB", "under 16 MiB",
                     peak_mib < 16.0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "build_benchmark: %s\n", e.what());
        if (!folder.empty()) std::filesystem::remove_all(folder);
        return 1;
    }
    std::filesystem::remove_all(folder);
    return 0;
}
