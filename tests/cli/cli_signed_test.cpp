// kitforge-cli inspect on an installer signed with osslsigncode: the payload ends where the
// signature's certificate table begins, and the checksum still matches.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "installer/build_fixture.h"
#include "support/large_files.h"
#include "support/run_program.h"
#include "support/signed_windows_program.h"

namespace kitforge {
namespace {

using testing::BuildFixture;
using testing::BuiltProgram;
using testing::ReadBytes;
using testing::RunProgram;
using testing::WriteBytes;

nlohmann::json Inspect(const std::string& installer) {
    const auto shown = RunProgram({BuiltProgram("kitforge-cli"), "inspect", "--json", installer});
    EXPECT_EQ(shown.status, 0) << shown.err;
    return shown.status == 0 ? nlohmann::json::parse(shown.out) : nlohmann::json();
}

TEST(CliSigned, InspectReadsASignedInstallerAsBuiltAndItsChecksumMatches) {
    KITFORGE_NEEDS_TOOL("osslsigncode");
    KITFORGE_NEEDS_TOOL("openssl");
    BuildFixture f;
    WriteBytes(f.stub, testing::MinimalWindowsProgram());
    WriteBytes(f.folder / "readme.txt", "read me\n");
    f.WriteScript({"1=extract \"" + f.folder / "readme.txt" + "\" \"%program%\"", "2=quit "}, "Signed", "Install?");
    const std::string installer = f.folder / "signed.exe";
    const auto built = RunProgram({BuiltProgram("kitforge-cli"), "build", f.script, "--stub", f.stub, "-o", installer});
    ASSERT_EQ(built.status, 0) << built.err;
    const nlohmann::json before = Inspect(installer);
    const std::size_t unsigned_size = ReadBytes(installer).size();

    testing::SignWindowsProgram(installer, f.folder.Path());
    if (HasFatalFailure()) return;
    const std::string bytes = ReadBytes(installer);
    ASSERT_GT(bytes.size(), unsigned_size);
    EXPECT_GE(testing::CertificateTableOffset(bytes), unsigned_size);

    nlohmann::json after = Inspect(installer);
    EXPECT_EQ(after["checksum"]["matches"], true) << after.dump();
    EXPECT_EQ(after["file_size"], bytes.size());
    for (const char* same : {"title", "prompt", "stub_size", "lines", "files", "checksum"}) {
        EXPECT_EQ(after[same], before[same]) << same;
    }
    const auto extracted =
        RunProgram({BuiltProgram("kitforge-cli"), "inspect", installer, "--extract", f.folder / "x"});
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(ReadBytes(f.folder / "x/readme.txt"), "read me\n");
}

}  // namespace
}  // namespace kitforge
