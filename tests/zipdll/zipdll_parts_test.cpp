// The parts behind the exports: joining separately compressed pieces into one deflate stream
// (checked by zlib's inflate), file-name patterns, MS-DOS times and stored names.

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <string>

#include "deflate_block_walker.h"
#include "deflate_engine.h"
#include "existing_archive.h"
#include "dos_time.h"
#include "source_collector.h"
#include "wildcard.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Mixed(std::size_t size, unsigned seed, int randomness) {
    std::mt19937 rng(seed);
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(static_cast<int>(rng() % 100) < randomness ? rng() : "abcabcd\n"[i % 8]);
    return bytes;
}

// Raw inflate of the whole stream; fails the test unless it ends exactly at the stream's end.
Bytes Inflate(const Bytes& stream, std::size_t expected) {
    Bytes out(expected + 1);
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u);
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

Bytes ZlibDeflate(const Bytes& input, int level) {
    Bytes out(compressBound(static_cast<uLong>(input.size())) + 64);
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    z.next_in = const_cast<Bytef*>(input.data());
    z.avail_in = static_cast<uInt>(input.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

TEST(DeflateBlockWalker, OpenedPiecesFromEveryLevelJoinIntoOneStream) {
    struct Row {
        const char* name;
        int randomness;
        std::size_t size;
    };
    const Row rows[] = {{"text-like", 0, 300000}, {"mixed", 30, 700000}, {"noisy", 95, 200000}, {"tiny", 0, 5}};
    for (const Row& row : rows) {
        for (int level = 1; level <= 9; level += 4) {
            SCOPED_TRACE(std::string(row.name) + " level " + std::to_string(level));
            zipdll::DeflateEngine engine(level);
            Bytes first = Mixed(row.size, 1, row.randomness), second = Mixed(row.size / 2 + 1, 2, row.randomness),
                  third = Mixed(row.size / 3 + 1, 3, row.randomness);
            Bytes stream;
            engine.Compress(first, false, stream);
            engine.Compress(second, false, stream);
            engine.Compress(third, true, stream);
            Bytes expected = first;
            expected.insert(expected.end(), second.begin(), second.end());
            expected.insert(expected.end(), third.begin(), third.end());
            EXPECT_EQ(Inflate(stream, expected.size()), expected);
            // Compressible pieces really were joined compressed, not stored as a fallback.
            if (row.randomness == 0 && row.size > 1000) {
                EXPECT_LT(stream.size(), expected.size() / 4);
            }
        }
    }
}

TEST(DeflateBlockWalker, FindsTheFinalBlockOfOtherCompressorsToo) {
    // zlib's output (fixed and dynamic blocks, several of them for larger inputs).
    for (std::size_t size : {1u, 100u, 50000u, 400000u}) {
        SCOPED_TRACE(size);
        Bytes input = Mixed(size, 4, 20);
        Bytes piece = ZlibDeflate(input, 6);
        ASSERT_TRUE(zipdll::FindFinalBlock(piece).has_value());
        ASSERT_TRUE(zipdll::OpenFinalBlock(piece));
        zipdll::AppendStoredBlocks({}, true, piece);
        EXPECT_EQ(Inflate(piece, input.size()), input);
    }
}

TEST(DeflateBlockWalker, RefusesDamagedStreams) {
    Bytes piece = ZlibDeflate(Mixed(50000, 5, 20), 9);
    Bytes truncated(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(piece.size() / 2));
    EXPECT_FALSE(zipdll::FindFinalBlock(truncated).has_value());
    EXPECT_FALSE(zipdll::FindFinalBlock(Bytes{0x07}).has_value());  // block type 3 does not exist
    Bytes unchanged = truncated;
    EXPECT_FALSE(zipdll::OpenFinalBlock(truncated));
    EXPECT_EQ(truncated, unchanged);
}

TEST(DeflateBlockWalker, StoredBlocksCarryAnySize) {
    for (std::size_t size : {0u, 1u, 65535u, 65536u, 200000u}) {
        SCOPED_TRACE(size);
        Bytes input = Mixed(size, 6, 100), stream;
        zipdll::AppendStoredBlocks(input, true, stream);
        EXPECT_EQ(Inflate(stream, input.size()), input);
    }
}

TEST(DeflateEngine, RandomDataLooksIncompressibleAndTextDoesNot) {
    zipdll::DeflateEngine engine(9);
    EXPECT_TRUE(engine.LooksIncompressible(Mixed(1u << 20, 7, 100)));
    EXPECT_FALSE(engine.LooksIncompressible(Mixed(1u << 20, 8, 10)));
    EXPECT_FALSE(engine.LooksIncompressible(Mixed(1000, 9, 100)));  // too small to bother
}

TEST(DeflateEngine, CombinedCrcEqualsTheCrcOfTheWhole) {
    Bytes a = Mixed(1000, 10, 50), b = Mixed(3000, 11, 50), whole = a;
    whole.insert(whole.end(), b.begin(), b.end());
    EXPECT_EQ(zipdll::Crc32Combine(zipdll::Crc32(0, a), zipdll::Crc32(0, b), b.size()), zipdll::Crc32(0, whole));
    EXPECT_EQ(zipdll::Crc32(0, whole), crc32(0, whole.data(), static_cast<uInt>(whole.size())));
}

TEST(Wildcard, MatchesStarsAndQuestionMarks) {
    struct Row {
        const char* pattern;
        const char* name;
        bool matches;
    };
    const Row rows[] = {{"*", "anything", true},
                        {"*.txt", "a.txt", true},
                        {"*.txt", "a.txt.bak", false},
                        {"?.txt", "ab.txt", false},
                        {"a*b*c", "aXXbYYc", true},
                        {"a*b*c", "aXXbYY", false},
                        {"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaac", false},
                        {"", "", true},
                        {"A.TXT", "a.txt", false}};
    for (const Row& row : rows)
        EXPECT_EQ(zipdll::MatchesWildcard(row.pattern, row.name), row.matches) << row.pattern << " ~ " << row.name;
}

TEST(DosTime, ConvertsBothWaysAndClampsTheRange) {
    // 2001-09-09 01:46:40 UTC
    std::uint32_t dos = zipdll::ToDosDateTime(1000000000, true);
    EXPECT_EQ(dos >> 16, ((2001u - 1980u) << 9) | (9u << 5) | 9u);
    EXPECT_EQ(dos & 0xFFFF, (1u << 11) | (46u << 5) | 20u);
    EXPECT_EQ(zipdll::FromDosDateTime(dos, true), 1000000000);
    EXPECT_EQ(zipdll::ToDosDateTime(0, true), (1u << 21) | (1u << 16));  // 1970 gives 1980-01-01
}

TEST(DosTime, SourceDateEpochIsParsedStrictlyAndCapsTimes) {
    EXPECT_EQ(zipdll::ParseSourceDateEpoch("1700000000"), 1700000000);
    EXPECT_FALSE(zipdll::ParseSourceDateEpoch("17e8").has_value());
    EXPECT_FALSE(zipdll::ParseSourceDateEpoch("").has_value());
    zipdll::TimePolicy policy;
    policy.source_date_epoch = 1000;
    EXPECT_EQ(policy.EntryTime(5000), 1000);
    EXPECT_EQ(policy.EntryTime(500), 500);
}

TEST(StoredPathName, NeverLeavesTheExtractionFolder) {
    EXPECT_EQ(zipdll::StoredPathName("/home/u/a.txt"), "home/u/a.txt");
    EXPECT_EQ(zipdll::StoredPathName("C:\\proj\\files\\a.txt"), "proj/files/a.txt");
    EXPECT_EQ(zipdll::StoredPathName("../../etc/passwd"), "etc/passwd");
    EXPECT_EQ(zipdll::StoredPathName("a/./b/../c.txt"), "a/c.txt");
    EXPECT_EQ(zipdll::StoredPathName("//server//share/x"), "server/share/x");
}

}  // namespace

namespace {

// Found by fuzzing: an extra-field record whose length runs past the extra field made the
// reader of an existing archive loop for ever. The reader runs in a child with an alarm.
TEST(ExistingArchive, AnExtraFieldLengthPastItsEndDoesNotHang) {
    std::string path = std::string(KITFORGE_SOURCE_DIR) + "/fuzz/corpus/zipdll_archive/extra-length-past-end.zip";
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(10);
        try {
            zipdll::ReadExistingArchive(path);
        } catch (const std::exception&) {
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
