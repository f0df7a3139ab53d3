// kitforge-cli build while a source changes under it. The build either succeeds with an
// installer whose recorded sizes match the bytes behind them (checked by extracting it again)
// or fails naming the file; it never reports success with a payload whose lengths lie.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <filesystem>
#include <thread>

#include "fault_run.h"
#include "support/temp_folder.h"

namespace kitforge::testing {
namespace {

constexpr std::size_t kLargeSize = 12'000'000;  // more than one kernel copy chunk of 8 MiB

class ChangingSources : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"src", "out", "extracted"}) ::mkdir(Root(folder).c_str(), 0755);
        large_ = PseudoRandomBytes(kLargeSize, 99);
        WriteBytes(Source(), large_);
        WriteBytes(Root("src/small.txt"), "small and steady\n");
        WriteBytes(Root("src/setup.inf"),
                   "[info]\ntitle=Changing\nprompt=Install?\ncompressed=0\n\n[script]\n"
                   "1=extract \"%apppath%large.bin\" \"%program%\"\n"
                   "2=extract \"%apppath%small.txt\" \"%program%\"\n");
    }

    std::string Root(const std::string& name = {}) const { return root_.Path() + name; }
    std::string Source() const { return Root("src/large.bin"); }
    std::string Installer() const { return Root("out/setup.exe"); }

    std::vector<std::string> BuildCommand() const {
        return {BuiltProgram("kitforge-cli"), "build", "-q", Root("src/setup.inf"), "-o", Installer(), "--stub",
                BuiltProgram("setup.ex_")};
    }

    ProgramResult BuildWhileResized(std::size_t after, std::size_t to) const {
        return RunWithFaults({{"KF_FAULT_RESIZE_PATH", "large.bin"},
                              {"KF_FAULT_RESIZE_AFTER", std::to_string(after)},
                              {"KF_FAULT_RESIZE_TO", std::to_string(to)}},
                             BuildCommand(), Root("faults.log"));
    }

    // The files the installer carries, as kitforge-cli inspect --extract writes them.
    std::map<std::string, std::string> Extracted() const {
        std::filesystem::remove_all(Root("extracted"));
        const ProgramResult result =
            RunProgram({BuiltProgram("kitforge-cli"), "inspect", Installer(), "--extract", Root("extracted")});
        EXPECT_EQ(result.status, 0) << result.err;
        return FolderContents(Root("extracted"));
    }

    void ExpectFailureNamingTheSource(const ProgramResult& result, const std::string& detail) const {
        EXPECT_EQ(result.status, 1) << result.err;
        EXPECT_TRUE(Contains(result.err, "Cannot read " + Source() + ": " + detail)) << result.err;
        EXPECT_TRUE(FolderContents(Root("out")).empty()) << Names(FolderContents(Root("out")));
    }

    TempFolder root_;
    std::string large_;
};

TEST_F(ChangingSources, AFileCutShortAfterItsSizeWasTakenFailsTheBuild) {
    {
        SCOPED_TRACE("cut before the first byte was copied");
        const ProgramResult result = BuildWhileResized(0, 1000);
        EXPECT_TRUE(Contains(ReadBytes(Root("faults.log")), "resized"));
        ExpectFailureNamingTheSource(result, "it yielded 1000 of its " + std::to_string(kLargeSize) + " bytes");
    }
    WriteBytes(Source(), large_);
    {
        SCOPED_TRACE("cut after the first chunk was copied");
        const ProgramResult result = BuildWhileResized(8u << 20, 9'000'000);
        ExpectFailureNamingTheSource(result, "it yielded 9000000 of its " + std::to_string(kLargeSize) + " bytes");
    }
}

TEST_F(ChangingSources, AFileThatGrowsWhileCopiedIsStoredAsItWasWhenItsSizeWasTaken) {
    const ProgramResult result = BuildWhileResized(0, kLargeSize + 100'000);
    ASSERT_TRUE(Contains(ReadBytes(Root("faults.log")), "resized"));
    ASSERT_EQ(std::filesystem::file_size(Source()), kLargeSize + 100'000);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{{"large.bin", Fingerprint(large_)},
                                                               {"small.txt", Fingerprint("small and steady\n")}}));
}

TEST_F(ChangingSources, AFileRewrittenOverAndOverNeverGivesAnInstallerThatLies) {
    // Another thread cuts the file in half and writes the second half back, again and again,
    // while builds run. Every byte the build can read is the original one at its place, so a
    // build that succeeds must carry exactly the original file; one that fails must say so.
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        const std::string second_half = large_.substr(kLargeSize / 2);
        while (!stop) {
            if (::truncate(Source().c_str(), static_cast<off_t>(kLargeSize / 2)) != 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const int fd = ::open(Source().c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
            if (fd < 0) break;
            const bool written =
                ::write(fd, second_half.data(), second_half.size()) == static_cast<ssize_t>(second_half.size());
            ::close(fd);
            if (!written) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    int succeeded = 0, failed = 0;
    for (int round = 0; round < 12; ++round) {
        const ProgramResult result = RunProgram(BuildCommand());
        if (result.status == 0) {
            ++succeeded;
            const auto files = Extracted();
            ASSERT_EQ(files.count("large.bin"), 1u) << Names(files);
            EXPECT_EQ(files.at("small.txt"), Fingerprint("small and steady\n"));
            // The size may have been taken at any moment (also while the second half was being
            // written back), but the bytes stored must be the file's own bytes up to that size.
            const std::string stored = ReadBytes(Root("extracted/large.bin"));
            EXPECT_GE(stored.size(), kLargeSize / 2);
            EXPECT_TRUE(stored.size() <= kLargeSize && large_.compare(0, stored.size(), stored) == 0)
                << "round " << round << ": " << Fingerprint(stored);
        } else {
            ++failed;
            EXPECT_TRUE(Contains(result.err, "Cannot read " + Source())) << result.err;
            EXPECT_TRUE(FolderContents(Root("out")).empty());
        }
    }
    stop = true;
    writer.join();
    EXPECT_EQ(succeeded + failed, 12);
    std::cout << "racy rounds: " << succeeded << " succeeded, " << failed << " failed naming the file\n";
}

TEST_F(ChangingSources, APipeInPlaceOfASourceIsRefusedWithoutWaitingForIt) {
    std::filesystem::remove(Source());
    ASSERT_EQ(::mkfifo(Source().c_str(), 0644), 0);
    const ProgramResult result = RunProgram(BuildCommand());
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(Contains(result.err, "File not found: " + Source())) << result.err;
    EXPECT_TRUE(FolderContents(Root("out")).empty());
}

}  // namespace
}  // namespace kitforge::testing
