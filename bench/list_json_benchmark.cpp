// Times `kitforge-cli list --json` of an archive of 100,000 entries against, in the same run
// and on the same file, `kitforge-cli list` (the text listing of the same directory) and
// `python3 -c "import zipfile; zipfile.ZipFile(Z).infolist()"` (reading the same directory
// into Python's objects, start-up included, as a user would run it).
//
//   list_json_benchmark [ENTRIES] [--runs R] [--cli PATH]
//
// Defaults: 100,000 entries with names of the depth and length real trees have (made by
// Python's zipfile), 5 timed runs of each command after one untimed run that warms the page
// cache; the listings are written to files beside the archive, in a temporary folder under
// $TMPDIR or /tmp that is removed afterwards.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "platform/paths.h"

namespace {

using namespace kitforge::bench;

[[noreturn]] void Usage(const char* why) {
    std::fprintf(stderr, "list_json_benchmark: %s\nusage: list_json_benchmark [ENTRIES] [--runs R] [--cli PATH]\n",
                 why);
    std::exit(2);
}

struct Times {
    double wall = 0;  // median wall time
    double cpu = 0;   // median processor time (user + system), which other load disturbs less
};

// The medians of `runs` runs, after one that is not counted.
Times MedianTimes(const std::vector<std::string>& arguments, const std::string& output, int runs, const char* label) {
    RunMeasured(arguments, output);
    std::vector<double> wall, cpu;
    for (int run = 1; run <= runs; ++run) {
        const MeasuredRun measured = RunMeasured(arguments, output);
        wall.push_back(measured.seconds);
        cpu.push_back(measured.cpu_seconds);
        std::printf("run %d: %-28s %.3f s (cpu %.3f s)\n", run, label, wall.back(), cpu.back());
    }
    return {Median(wall), Median(cpu)};
}

}  // namespace

int main(int argc, char** argv) {
    long entries = 100000;
    int runs = 5;
    std::string cli = kitforge::ProgramFolder() + "kitforge-cli";
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (argument == "--cli" && i + 1 < argc) {
            cli = argv[++i];
        } else if (!argument.empty() && argument[0] != '-') {
            entries = std::atol(argument.c_str());
        } else {
            Usage(("unknown argument " + argument).c_str());
        }
    }
    if (entries <= 0 || runs <= 0) Usage("ENTRIES and R must be positive");

    try {
        const std::string folder = MakeWorkFolder("", "list-json-bench");
        const std::string archive = folder + "many.zip";
        const std::string script = folder + "make.py";
        std::ofstream(script) << "import zipfile, sys\n"
                                 "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
                                 "    for i in range(int(sys.argv[2])):\n"
                                 "        z.writestr('project/src/module%03d/source_file_%06d.txt' % (i // 1000, i), "
                                 "'x' * (i % 50))\n";
        std::printf("making an archive of %ld entries with Python\n", entries);
        RunMeasured({"python3", script, archive, std::to_string(entries)});
        std::printf("archive: %ju bytes\n", static_cast<std::uintmax_t>(std::filesystem::file_size(archive)));

        const Times json =
            MedianTimes({cli, "list", "--json", archive}, folder + "list.json", runs, "kitforge-cli list --json");
        const Times text = MedianTimes({cli, "list", archive}, folder + "list.txt", runs, "kitforge-cli list");
        const Times python =
            MedianTimes({"python3", "-c", "import sys, zipfile; zipfile.ZipFile(sys.argv[1]).infolist()", archive},
                        "/dev/null", runs, "python3 zipfile infolist()");
        std::printf("JSON listing: %ju bytes, text listing: %ju bytes\n",
                    static_cast<std::uintmax_t>(std::filesystem::file_size(folder + "list.json")),
                    static_cast<std::uintmax_t>(std::filesystem::file_size(folder + "list.txt")));
        std::filesystem::remove_all(folder);

        const double faster = python.wall / json.wall;
        const double slower = json.wall / text.wall;
        std::printf("medians of %d runs, wall (processor) time:\n", runs);
        std::printf("  kitforge-cli list --json:    %.3f s (%.3f s)\n", json.wall, json.cpu);
        std::printf("  kitforge-cli list:           %.3f s (%.3f s)\n", text.wall, text.cpu);
        std::printf("  python3 zipfile infolist():  %.3f s (%.3f s)\n", python.wall, python.cpu);
        std::printf("python / list --json: %.2f, processor time %.2f (target at least 5: %s)\n", faster,
                    python.cpu / json.cpu, faster >= 5 ? "met" : "MISSED");
        std::printf("list --json / list:   %.2f, processor time %.2f (target at most 2: %s)\n", slower,
                    json.cpu / text.cpu, slower <= 2 ? "met" : "MISSED");
        ReportResult(
            "list --json",
            "python3 zipfile infolist() / kitforge-cli list --json, " + std::to_string(entries) + " entries (median)",
            Fixed(faster, 1) + " times faster", "at least 5", faster >= 5);
        ReportResult("list --json", "kitforge-cli list --json / kitforge-cli list (median)", Fixed(slower, 2),
                     "at most 2", slower <= 2);
        ReportResult("list --json", "processor time, python3 / kitforge-cli list --json",
                     Fixed(python.cpu / json.cpu, 1) + " times faster");
        ReportResult("list --json", "processor time, kitforge-cli list --json / list", Fixed(json.cpu / text.cpu, 2));
        return faster >= 5 && slower <= 2 ? 0 : 3;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "list_json_benchmark: %s\n", e.what());
        return 1;
    }
}
