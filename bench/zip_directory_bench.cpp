// zip_directory_bench [ENTRIES]: reads the directory of a zip64 archive of 200,000 entries (or
// ENTRIES) through the zip component and, in the same run and on the same file, times
// `unzip -Z1` and Python's zipfile.ZipFile(...).infolist(); then times the whole program
// `kitforge-cli list` (start to end, listing to /dev/null) against `unzip -Z1`. Prints the best
// of five runs of each and the ratios. Python is timed inside its own process, without its
// start-up.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "bench_support.h"
#include "zip/zip_master.h"

namespace {

using namespace kitforge;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 5;

class SilentHost final : public UiHost {
public:
    Answer ShowMessage(MessageKind, std::string_view text, std::string_view, Buttons, std::optional<Answer>) override {
        std::cerr << "message: " << text << '\n';
        return Answer::Cancel;
    }
    std::optional<std::vector<std::string>> OpenFiles(const FileDialogOptions&) override { return std::nullopt; }
    std::optional<std::string> SaveFile(const FileDialogOptions&) override { return std::nullopt; }
    std::optional<std::string> InputBox(std::string_view, std::string_view, std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> PickFolder(std::string_view, std::string_view) override { return std::nullopt; }
    void ProcessMessages() override {}

protected:
    void SetBusy(bool) override {}
};

int Run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return text;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Best wall time of kRuns runs of a shell command.
double BestOfCommand(const std::string& command) {
    double best = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = Clock::now();
        if (Run(command) != 0) {
            std::cerr << "failed: " << command << '\n';
            std::exit(1);
        }
        best = std::min(best, Seconds(Clock::now() - start));
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const long entries = argc > 1 ? std::atol(argv[1]) : 200000;
    if (entries <= 0) {
        std::cerr << "usage: zip_directory_bench [ENTRIES]\n";
        return 2;
    }
    char pattern[] = "/tmp/zip-directory-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const std::string folder = pattern;
    const std::string archive = folder + "/many.zip";
    const std::string script = folder + "/script.py";

    // The archive: Python writes it, with names of the depth and length real trees have.
    std::ofstream(script)
        << "import zipfile, sys\n"
           "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
           "    for i in range(int(sys.argv[2])):\n"
           "        z.writestr('project/src/module%03d/source_file_%06d.txt' % (i // 1000, i), 'x' * (i % 50))\n";
    std::cout << "Making an archive of " << entries << " entries with Python..." << std::endl;
    if (Run("python3 " + script + " " + archive + " " + std::to_string(entries)) != 0) return 1;
    std::cout << "Archive: " << std::filesystem::file_size(archive) << " bytes\n";

    SilentHost host;
    double ours = 1e9;
    std::size_t read = 0;
    for (int i = 0; i < kRuns + 1; ++i) {  // the first run warms the page cache
        TZipMaster zip(host);
        zip.SetUnattended(true);
        const auto start = Clock::now();
        zip.SetZipFilename(archive);
        const double took = Seconds(Clock::now() - start);
        read = zip.Entries().size();
        if (i > 0) ours = std::min(ours, took);
    }
    if (read != static_cast<std::size_t>(entries)) {
        std::cerr << "ReadDirectory read " << read << " entries, expected " << entries << '\n';
        return 1;
    }

    const double unzip = BestOfCommand("unzip -Z1 " + archive + " > /dev/null");
    // The listing program as a user runs it, beside this benchmark.
    const std::string cli = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "kitforge-cli").string();
    BestOfCommand(cli + " list " + archive + " > /dev/null");  // warms the program's pages
    const double list = BestOfCommand(cli + " list " + archive + " > /dev/null");

    std::ofstream(script) << "import zipfile, sys, time\n"
                             "best = 1e9\n"
                             "for _ in range(" +
                                 std::to_string(kRuns) +
                                 "):\n"
                                 "    t = time.perf_counter()\n"
                                 "    n = len(zipfile.ZipFile(sys.argv[1]).infolist())\n"
                                 "    best = min(best, time.perf_counter() - t)\n"
                                 "print(best)\n";
    if (Run("python3 " + script + " " + archive + " > " + folder + "/python.txt") != 0) return 1;
    const double python = std::stod(ReadText(folder + "/python.txt"));

    std::printf("ReadDirectory (kitforge):       %8.2f ms\n", ours * 1000);
    std::printf("unzip -Z1 (process):            %8.2f ms   ratio %5.1fx (target >= 3x)\n", unzip * 1000, unzip / ours);
    std::printf("Python zipfile infolist():      %8.2f ms   ratio %5.1fx (target >= 10x)\n", python * 1000,
                python / ours);
    std::printf("kitforge-cli list (process):    %8.2f ms   unzip -Z1 / list %5.1fx (target >= 3x)\n", list * 1000,
                unzip / list);
    using kitforge::bench::Fixed;
    using kitforge::bench::ReportResult;
    ReportResult("zip directory", "unzip -Z1 / ReadDirectory, " + std::to_string(entries) + " entries (best of 5)",
                 Fixed(unzip / ours, 1) + " times faster", "at least 3", unzip / ours >= 3);
    ReportResult("zip directory", "Python zipfile infolist() / ReadDirectory",
                 Fixed(python / ours, 1) + " times faster", "at least 10", python / ours >= 10);
    ReportResult("zip directory", "unzip -Z1 / kitforge-cli list, whole programs, output to /dev/null",
                 Fixed(unzip / list, 1) + " times faster", "at least 3", unzip / list >= 3);
    std::filesystem::remove_all(folder);
    return unzip / ours >= 3 && python / ours >= 10 && unzip / list >= 3 ? 0 : 3;
}
