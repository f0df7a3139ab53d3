// span_benchmark [FOLDER] [MIB]: splits a 1 GiB zip archive into 100 MB volumes with
// `kitforge-cli span`, against Info-ZIP's `zip -s 100m` on the same archive and a plain `cp` of
// it, all in the same run on the same disk, and prints the times and the ratios to cp. The
// archive (stored entries of random bytes, so no tool spends its time compressing) is made in
// FOLDER (default: a fresh folder under $TMPDIR) and removed at the end.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string ProgramFolder() {
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec).parent_path().string();
}

double Seconds(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "span_benchmark: failed: %s\n", command.c_str());
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Clear(const fs::path& folder) {
    std::error_code ec;
    fs::remove_all(folder, ec);
    fs::create_directories(folder);
}

}  // namespace

int main(int argc, char** argv) {
    const int mib = argc > 2 ? std::atoi(argv[2]) : 1024;
    fs::path base;
    if (argc > 1) {
        base = fs::path(argv[1]) / "kitforge-span-bench";
    } else {
        const char* tmp = std::getenv("TMPDIR");
        base = fs::path(tmp ? tmp : "/tmp") / ("kitforge-span-bench-" + std::to_string(getpid()));
    }
    const std::string cli = ProgramFolder() + "/kitforge-cli";
    Clear(base);
    const fs::path data = base / "data";
    fs::create_directories(data);
    const int files = std::max(1, mib / 128);
    std::printf("Making a %d MiB archive of %d stored files of random bytes in %s ...\n", mib, files, base.c_str());
    std::fflush(stdout);
    for (int i = 0; i < files; ++i) {
        Seconds("head -c " + std::to_string(static_cast<long long>(mib / files) << 20) + " /dev/urandom > '" +
                (data / ("part" + std::to_string(i) + ".bin")).string() + "'");
    }
    const std::string source = (base / "source.zip").string();
    Seconds("cd '" + data.string() + "' && zip -q -0 '" + source + "' *.bin");
    fs::remove_all(data);
    const auto size = fs::file_size(source);

    const fs::path out = base / "out";
    double best_cp = 1e9, best_span = 1e9, best_zip = 1e9;
    for (int round = 0; round < 3; ++round) {
        Clear(out);
        best_cp = std::min(best_cp, Seconds("cp '" + source + "' '" + (out / "copy.zip").string() + "'"));
        Clear(out);
        best_span = std::min(best_span, Seconds("'" + cli + "' span '" + source + "' '" + (out / "arch.zip").string() +
                                                "' --max-volume 100000000 > /dev/null"));
        Clear(out);
        best_zip = std::min(best_zip, Seconds("zip -q -s 100m '" + source + "' --out '" + (out / "x.zip").string() + "'"));
    }
    fs::remove_all(base);

    std::printf("archive: %.1f MiB, volumes of 100,000,000 bytes, best of 3 runs each\n", size / 1048576.0);
    std::printf("cp                  %7.3f s\n", best_cp);
    std::printf("kitforge-cli span   %7.3f s   %.2f times cp\n", best_span, best_span / best_cp);
    std::printf("zip -s 100m         %7.3f s   %.2f times cp\n", best_zip, best_zip / best_cp);
    std::printf("kitforge-cli span is %.2f times as fast as zip -s 100m\n", best_zip / best_span);
    return 0;
}
