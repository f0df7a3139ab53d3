// The installer's payload checksum: how fast the candidate hashes read, and what the check adds
// to installing. Two measures in one run:
//   1. XXH3-128 (libxxhash-dev, the hash the installer uses) against SHA-256 (nettle) on the
//      same bytes in memory, in the buffer size the installer reads with;
//   2. a real installer of about 1 GiB built with kitforge-cli and installed with --silent,
//      against the same installer without its checksum block (an installer that checks
//      nothing), alternately, and `--check` alone, which is the check's own time.
//
//   checksum_benchmark [--total-mib M] [--runs R] [--folder DIR] [--cli PATH] [--stub PATH]
//
// Defaults: 1 GiB of 64 files of pseudo-random bytes, 5 timed runs of each (after one untimed
// run that warms the page cache), in a temporary folder under $TMPDIR or /tmp that is removed
// afterwards. The budget: the check adds at most 10 % to installing.

#include <nettle/sha2.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "bench_support.h"
#include "formats/installer_integrity.h"
#include "os/file.h"
#include "payload/payload_reader.h"
#include "platform/paths.h"

namespace {

using namespace kitforge::bench;

using Settings = BenchSettings;

Settings ParseSettings(int argc, char** argv) {
    return ParseBenchSettings(argc, argv,
                              {"checksum_benchmark", "measures the installer's checksum", false, "setup.ex_"});
}

// Seconds per GiB of each hash over the same buffer, hashed again and again.
void CompareHashes(std::uint64_t total_mib) {
    std::vector<std::uint8_t> buffer(512 * 1024);
    std::uint64_t state = 0x243F6A8885A308D3ull;
    for (auto& byte : buffer) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        byte = static_cast<std::uint8_t>(state);
    }
    const std::uint64_t rounds = total_mib * 2;  // 512 KiB each
    const auto time = [&](auto&& body) {
        const auto start = std::chrono::steady_clock::now();
        body();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    unsigned sink = 0;
    std::vector<double> xxh3;
    std::vector<double> sha256;
    for (int run = 0; run < 3; ++run) {
        xxh3.push_back(time([&] {
            XXH3_state_t* hash = XXH3_createState();
            XXH3_128bits_reset(hash);
            for (std::uint64_t i = 0; i < rounds; ++i) XXH3_128bits_update(hash, buffer.data(), buffer.size());
            sink += static_cast<unsigned>(XXH3_128bits_digest(hash).low64);
            XXH3_freeState(hash);
        }));
        sha256.push_back(time([&] {
            sha256_ctx hash;
            sha256_init(&hash);
            for (std::uint64_t i = 0; i < rounds; ++i) sha256_update(&hash, buffer.size(), buffer.data());
            std::uint8_t digest[SHA256_DIGEST_SIZE];
            sha256_digest(&hash, sizeof digest, digest);
            sink += digest[0];
        }));
    }
    const double mib = static_cast<double>(total_mib);
    const double xxh3_rate = mib / Best(xxh3);
    const double sha256_rate = mib / Best(sha256);
    std::printf(
        "hashing %llu MiB in memory (best of 3): XXH3-128 %.3f s (%.0f MiB/s), SHA-256 %.3f s (%.0f MiB/s) "
        "[%u]\n",
        static_cast<unsigned long long>(total_mib), Best(xxh3), xxh3_rate, Best(sha256), sha256_rate, sink & 1);
    ReportResult("checksum", "XXH3-128 hashing speed", Fixed(xxh3_rate, 0) + " MiB/s");
    ReportResult("checksum", "SHA-256 (nettle) hashing speed", Fixed(sha256_rate, 0) + " MiB/s");
}

struct Installers {
    std::string checked;    // as built
    std::string unchecked;  // the same without its integrity block
};

Installers MakeInstallers(const std::string& folder, const Settings& settings) {
    std::filesystem::create_directory(folder + "files");
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    const int files = 64;
    std::string script = "[info]\ntitle=Checksum Benchmark\nprompt=\ncompressed=0\n\n[script]\n";
    for (int i = 0; i < files; ++i) {
        const std::string name = "f" + std::to_string(100 + i) + ".bin";
        WriteRandomFile(folder + "files/" + name, settings.total_mib * 1024 * 1024 / files, state);
        script += std::to_string(i + 1) + "=extract \"%apppath%files/" + name + "\" \"%program%\"\n";
    }
    kitforge::File file = kitforge::File::Create(folder + "bench.inf");
    file.WriteAll(script);
    file.Close();
    Installers installers{folder + "checked.run", folder + "unchecked.run"};
    RunMeasured({settings.cli, "build", "-q", folder + "bench.inf", "-o", installers.checked, "--stub", settings.stub});

    // The older form: the payload right after the stub.
    const kitforge::payload::Payload payload = kitforge::payload::ReadPayload(installers.checked);
    if (!payload.integrity) throw std::runtime_error("the built installer has no checksum block");
    kitforge::File in = kitforge::File::OpenRead(installers.checked);
    kitforge::File out = kitforge::File::Create(installers.unchecked, 0755);
    std::vector<char> buffer(1 << 20);
    for (std::uint64_t at = 0; at < payload.file_size;) {
        const std::size_t got = in.Read(buffer.data(), buffer.size());
        if (got == 0) throw std::runtime_error("cannot read the built installer");
        // Leaves out the block's bytes wherever they fall in this piece.
        const std::uint64_t end = at + got;
        const std::uint64_t skip_from = std::max(at, payload.stub_size);
        const std::uint64_t skip_to = std::min(end, payload.payload_offset);
        if (skip_from < skip_to) {
            out.WriteAll(buffer.data(), skip_from - at);
            out.WriteAll(buffer.data() + (skip_to - at), end - skip_to);
        } else {
            out.WriteAll(buffer.data(), got);
        }
        at = end;
    }
    out.Close();
    return installers;
}

}  // namespace

int main(int argc, char** argv) {
    const Settings settings = ParseSettings(argc, argv);
    std::string folder;
    try {
        CompareHashes(settings.total_mib);
        folder = MakeWorkFolder(settings.folder, "kitforge-checksum-bench");
        std::printf("making an installer of about %llu MiB in %s\n",
                    static_cast<unsigned long long>(settings.total_mib), folder.c_str());
        std::fflush(stdout);
        const Installers installers = MakeInstallers(folder, settings);
        const std::string target = folder + "target";
        const auto install = [&](const std::string& installer) {
            std::filesystem::remove_all(target);
            ::sync();
            return RunMeasured({installer, "--silent", "--user", "--target", target});
        };
        std::vector<double> checked;
        std::vector<double> unchecked;
        std::vector<double> check_only;
        for (int run = 0; run <= settings.runs; ++run) {
            // Alternating, so that neither always follows the other.
            const MeasuredRun a = run % 2 == 0 ? install(installers.checked) : install(installers.unchecked);
            const MeasuredRun b = run % 2 == 0 ? install(installers.unchecked) : install(installers.checked);
            const MeasuredRun check = RunMeasured({installers.checked, "--check"});
            if (run == 0) continue;  // warms the page cache
            checked.push_back(run % 2 == 0 ? a.seconds : b.seconds);
            unchecked.push_back(run % 2 == 0 ? b.seconds : a.seconds);
            check_only.push_back(check.seconds);
            std::printf("run %d: install with the check %.3f s, without %.3f s, --check alone %.3f s\n", run,
                        checked.back(), unchecked.back(), check_only.back());
            std::fflush(stdout);
        }
        std::filesystem::remove_all(target);
        const double with = Median(checked);
        const double without = Median(unchecked);
        const double added = (with - without) / without * 100.0;
        const double check_share = Median(check_only) / without * 100.0;
        std::printf("install (median of %d): with the check %.3f s, without %.3f s: %+.1f %%\n", settings.runs, with,
                    without, added);
        std::printf("--check alone (median): %.3f s, %.1f %% of an install without the check\n", Median(check_only),
                    check_share);
        ReportResult("checksum", "install of a 1 GiB installer, added by the check (median)", Fixed(added, 1) + " %",
                     "at most 10 %", added <= 10.0);
        ReportResult("checksum", "--check alone / install without the check", Fixed(check_share, 1) + " %");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "checksum_benchmark: %s\n", e.what());
        if (!folder.empty()) std::filesystem::remove_all(folder);
        return 1;
    }
    std::filesystem::remove_all(folder);
    return 0;
}
