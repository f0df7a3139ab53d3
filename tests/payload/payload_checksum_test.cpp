// The integrity block in front of the payload and the checksum check that reads it: every byte
// of the payload and of the block is covered, and an installer without the block still reads.

#include <gtest/gtest.h>

#include "formats/installer_integrity.h"
#include "formats/installer_payload.h"
#include "payload/payload_checksum.h"
#include "payload/payload_reader.h"

namespace kitforge::payload {
namespace {

using Outcome = ChecksumCheck::Outcome;

std::string U32(std::uint32_t value) {
    const auto bytes = formats::PayloadNumber(value);
    return std::string(bytes.begin(), bytes.end());
}

std::string Counted(std::string_view text) { return std::string(text) + U32(static_cast<std::uint32_t>(text.size())); }

const std::string kStub = "#!stub\n";
// One file, two lines, a prompt and a title: a record of each kind.
const std::string kPayload = Counted("contents") + Counted("a.txt") + U32(1) + Counted("run x") +
                             Counted("EXTRACT a.txt %program%") + U32(2) + Counted("Prompt") + Counted("Title") +
                             "\x2E\x22\x6B\x3D";

std::string Block(const std::string& payload) {
    PayloadHasher hasher;
    hasher.Update(payload.data(), payload.size());
    const auto bytes = formats::EncodeIntegrityBlock(hasher.Finish());
    return std::string(bytes.begin(), bytes.end());
}

const std::string kSealed = kStub + Block(kPayload) + kPayload;

ChecksumCheck Check(const std::string& bytes, Payload* read = nullptr) {
    MemoryByteSource source(bytes.data(), bytes.size(), "setup.exe");
    const Payload payload = ReadPayload(source);
    if (read) *read = payload;
    return CheckPayloadChecksum(source, payload);
}

TEST(PayloadChecksum, ASealedPayloadMatchesAndTheBlockIsNotPartOfTheStub) {
    Payload read;
    const ChecksumCheck check = Check(kSealed, &read);
    EXPECT_EQ(check.outcome, Outcome::Matches);
    EXPECT_EQ(check.algorithm, "XXH3-128");
    EXPECT_EQ(check.stored.size(), 32u);
    EXPECT_EQ(check.computed, check.stored);
    EXPECT_EQ(read.stub_size, kStub.size());
    EXPECT_EQ(read.payload_offset, kStub.size() + formats::kIntegrityBlockSize);
    ASSERT_TRUE(read.integrity);
    EXPECT_EQ(read.integrity->covered, kPayload.size());
    EXPECT_EQ(DescribeChecksum(check), "XXH3-128 " + check.stored + ", matches");
}

TEST(PayloadChecksum, AnInstallerWithoutTheBlockPassesWithNothingToCheck) {
    Payload read;
    const ChecksumCheck check = Check(kStub + kPayload, &read);
    EXPECT_EQ(check.outcome, Outcome::Absent);
    EXPECT_TRUE(check.Passed());
    EXPECT_EQ(read.stub_size, kStub.size());
    EXPECT_EQ(read.payload_offset, kStub.size());
    EXPECT_EQ(DescribeChecksum(check), "none (built without one)");
}

// Every byte of the payload and of the block's fields is covered: changing any one of them is
// caught here, or by the reader, or it loses the block so that the stub no longer seems to end
// where it does: the installer refuses that as bytes between its program and the payload (the
// end-to-end test runs each region against a real installer).
TEST(PayloadChecksum, ChangingAnyOneByteOfThePayloadOrTheBlockIsCaught) {
    const std::size_t block_at = kStub.size();
    const std::size_t payload_at = block_at + formats::kIntegrityBlockSize;
    for (std::size_t at = block_at; at < kSealed.size(); ++at) {
        std::string bytes = kSealed;
        bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
        Payload read;
        ChecksumCheck check;
        try {
            check = Check(bytes, &read);
        } catch (const PayloadError&) {
            EXPECT_GE(at, payload_at) << "byte " << at << ": only the payload's own fields are the reader's to refuse";
            continue;
        }
        if (check.outcome == Outcome::Absent) {
            EXPECT_NE(read.stub_size, kStub.size()) << "byte " << at << ": the block was lost, yet the stub "
                                                    << "seems to end where it does";
            continue;
        }
        const Outcome expected = at >= payload_at                                 ? Outcome::Differs
                                 : at < block_at + formats::kIntegrityCoveredAt   ? Outcome::Differs
                                 : at < block_at + formats::kIntegrityAlgorithmAt ? Outcome::WrongLength
                                                                                  : Outcome::UnknownAlgorithm;
        EXPECT_EQ(check.outcome, expected) << "byte " << at << " changed";
    }
}

TEST(PayloadChecksum, ADamagedPayloadIsReportedNamingTheFileAndAskingForANewDownload) {
    std::string bytes = kSealed;
    bytes[bytes.find("contents")] = 'C';
    MemoryByteSource source(bytes.data(), bytes.size(), "/downloads/setup.exe");
    const Payload payload = ReadPayload(source);
    EXPECT_THROW(
        {
            try {
                VerifyPayloadChecksum(source, payload);
            } catch (const DamagedInstallerError& e) {
                EXPECT_STREQ(e.what(),
                             "/downloads/setup.exe is damaged: its contents do not match the checksum stored when it "
                             "was built; download it again");
                throw;
            }
        },
        DamagedInstallerError);
}

TEST(PayloadChecksum, ASlowCheckSaysSoOnceAndAQuickOneNever) {
    const std::string big_contents(3u << 20, 'x');
    const std::string payload = Counted(big_contents) + Counted("big") + U32(1) + Counted("EXTRACT big x") + U32(1) +
                                Counted("") + Counted("") + "\x2E\x22\x6B\x3D";
    const std::string bytes = kStub + Block(payload) + payload;
    MemoryByteSource source(bytes.data(), bytes.size());
    const Payload read = ReadPayload(source);
    for (const auto& [after, calls] : {std::pair{std::chrono::milliseconds(0), 1}, {std::chrono::hours(1), 0}}) {
        int told = 0;
        ChecksumOptions options;
        options.slow_after = after;
        options.taking_long = [&] { ++told; };
        EXPECT_EQ(CheckPayloadChecksum(source, read, options).outcome, Outcome::Matches);
        EXPECT_EQ(told, calls) << "after " << after.count() << " ms";
    }
}

}  // namespace
}  // namespace kitforge::payload
