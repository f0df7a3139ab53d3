// Reading ahead in a thread: every byte arrives once and in order whatever the length, a failed
// read reaches the caller as it was thrown, and no thread outlives the reader on any exit.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "os/errors.h"
#include "payload/payload_checksum.h"
#include "payload/read_ahead.h"

namespace kitforge::payload {
namespace {

std::uint8_t ByteAt(std::uint64_t offset) { return static_cast<std::uint8_t>((offset * 131) ^ (offset >> 13)); }

// Bytes made from their offset; reading at or past `fail_at` throws ReadError.
class PatternSource : public ByteSource {
public:
    PatternSource(std::uint64_t size, std::uint64_t fail_at) : size_(size), fail_at_(fail_at) {}
    std::uint64_t Size() const override { return size_; }
    void ReadAt(std::uint64_t offset, void* out, std::size_t size) override {
        if (offset + size > fail_at_) throw ReadError("read", name_, 5, "Input/output error");
        auto* bytes = static_cast<std::uint8_t*>(out);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = ByteAt(offset + i);
    }
    const std::string& Name() const override { return name_; }

private:
    std::uint64_t size_;
    std::uint64_t fail_at_;
    std::string name_ = "/downloads/setup.exe";
};

constexpr std::uint64_t kMiB = 1u << 20;
constexpr std::uint64_t kNever = ~std::uint64_t{0};

TEST(ReadAhead, GivesEveryByteInOrderOrTheReadErrorUnchanged) {
    struct Case {
        std::uint64_t begin, end, fail_at;
    };
    // Empty, tiny, exactly one piece, more pieces than the ring holds; failures in the first
    // piece, after the ring has wrapped, and in the last one.
    const Case cases[] = {{0, 0, kNever},
                          {7, 8, kNever},
                          {0, kMiB, kNever},
                          {3, 9 * kMiB + 7, kNever},
                          {0, 9 * kMiB, 10},
                          {0, 9 * kMiB, 6 * kMiB + 1},
                          {5, 3 * kMiB + 5, 3 * kMiB + 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.begin << ".." << c.end << " failing at " << c.fail_at);
        PatternSource source(c.end, c.fail_at);
        ReadAhead pieces(source, c.begin, c.end);
        std::uint64_t at = c.begin;
        bool wrong = false;
        try {
            for (auto piece = pieces.Next(); !piece.empty(); piece = pieces.Next()) {
                for (std::size_t i = 0; i < piece.size() && !wrong; ++i) wrong = piece[i] != ByteAt(at + i);
                at += piece.size();
            }
            EXPECT_EQ(c.fail_at, kNever) << "no error after " << at;
            EXPECT_EQ(at, c.end);
        } catch (const ReadError& e) {
            EXPECT_NE(c.fail_at, kNever);
            EXPECT_LE(at, c.fail_at);
            EXPECT_STREQ(e.what(), ReadError("read", "/downloads/setup.exe", 5, "Input/output error").what());
        }
        EXPECT_FALSE(wrong);
    }
}

TEST(ReadAhead, StopsItsThreadWhenLeftEarlyOrThroughAnException) {
    PatternSource source(64 * kMiB, kNever);
    for (int taken : {0, 1, 6}) {
        ReadAhead pieces(source, 0, source.Size());
        for (int i = 0; i < taken; ++i) ASSERT_FALSE(pieces.Next().empty());
    }  // each destructor must return: a thread still waiting for a free slot would hang here
    EXPECT_THROW(
        {
            ReadAhead pieces(source, 0, source.Size());
            pieces.Next();
            throw std::runtime_error("the caller gives up");
        },
        std::runtime_error);
}

TEST(ReadAhead, TheChecksumCheckPassesOnAReadErrorAsItWas) {
    // A payload the reader accepts, followed by a check whose reads fail part-way.
    PatternSource source(5 * kMiB, 2 * kMiB);
    Payload payload;
    payload.payload_offset = 100;
    payload.file_size = source.Size();
    payload.payload_end = source.Size();
    payload.integrity = formats::IntegrityBlock{};
    payload.integrity->algorithm = kPayloadChecksumAlgorithm;
    payload.integrity->covered = payload.file_size - payload.payload_offset;
    EXPECT_THROW(CheckPayloadChecksum(source, payload), ReadError);
}

}  // namespace
}  // namespace kitforge::payload
