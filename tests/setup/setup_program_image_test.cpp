// The installer refuses a payload that claims bytes of its own program: the end of the program
// is read from its ELF headers.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>

#include <algorithm>

#include "formats/installer_integrity.h"
#include "payload/payload_checksum.h"
#include "payload/payload_reader.h"
#include "payload_bytes.h"
#include "os/file.h"
#include "setup/program_image.h"
#include "support/temp_folder.h"

namespace kitforge::setup {
namespace {

using testing::PayloadBytes;
using testing::ReadBytes;

// A program as linked: this test itself.
std::string OwnProgram() { return ReadBytes("/proc/self/exe"); }

// The image end of the first `size` bytes of `bytes` (all of them by default).
std::optional<std::uint64_t> ImageEnd(const std::string& bytes, std::size_t size = std::string::npos) {
    payload::MemoryByteSource source(bytes.data(), std::min(size, bytes.size()), "inst.exe");
    return ElfImageEnd(source);
}

TEST(ElfImageEnd, IsTheLengthOfAProgramAsLinkedAndRefusesTablesPastTheEnd) {
    const std::string program = OwnProgram();
    ASSERT_GT(program.size(), 64u);
    EXPECT_EQ(ImageEnd(program), program.size());
    EXPECT_EQ(ImageEnd(program + "payload after the program"), program.size());
    EXPECT_EQ(ImageEnd("#!stub\n"), std::nullopt) << "not ELF: nothing to check";
    EXPECT_EQ(ImageEnd(""), std::nullopt);

    struct Case {
        const char* name;
        std::size_t cut;  // bytes of the program kept
    };
    const Case damaged[] = {
        {"only the first bytes of the header", 20},
        {"the header without its tables", 64},
        {"the last section cut short", program.size() - 1},
    };
    for (const auto& c : damaged) {
        EXPECT_THROW(ImageEnd(program, c.cut), payload::PayloadError) << c.name;
    }
}

// Exits 0 when `bytes` are refused as a damaged program with at most 1 GiB of memory, 2 when
// anything else is thrown (bad_alloc), 1 when they are taken.
[[noreturn]] void ImageEndWithLittleMemory(const std::string& bytes) {
    const rlimit limit{1ul << 30, 1ul << 30};
    ::setrlimit(RLIMIT_DATA, &limit);
    try {
        ImageEnd(bytes);
    } catch (const payload::PayloadError&) {
        std::_Exit(0);
    } catch (...) {
        std::_Exit(2);
    }
    std::_Exit(1);
}

// A header claiming 65,535 section headers of 65,535 bytes in a file of 64 bytes is refused
// before anything is set aside for the table: with 1 GiB of memory allowed, asking for the
// 4 GiB it claims would fail with bad_alloc instead.
TEST(ElfImageEnd, ATableLongerThanTheFileIsRefusedBeforeMemoryIsSetAsideForIt) {
    std::string header = OwnProgram().substr(0, 64);
    const auto put = [&](std::size_t at, std::uint64_t value, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) header[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
    };
    put(56, 0, 2);       // no program headers
    put(40, 64, 8);      // the section headers start right after the header
    put(58, 0xFFFF, 2);  // of 65,535 bytes each
    put(60, 0xFFFF, 2);  // and 65,535 of them
    EXPECT_EXIT(ImageEndWithLittleMemory(header), ::testing::ExitedWithCode(0), "");
}

TEST(CheckPayloadFollowsImage, RefusesARecordThatStartsInsideTheProgram) {
    const std::string program = OwnProgram();
    struct Case {
        const char* name;
        std::string installer;
        bool refused;
    };
    std::string swallowing = program + PayloadBytes({{"a.txt", "alpha"}}, {"EXTRACT a.txt x"}, "", "");
    // The size field of a.txt follows its five bytes; claim 100 more, reaching into the program.
    swallowing[program.size() + 5] = static_cast<char>(105);
    const Case cases[] = {
        {"a payload right after the program", program + PayloadBytes({{"a.txt", "alpha"}}, {"EXTRACT a.txt x"}, "", ""),
         false},
        {"a file record that swallows the program's end", swallowing, true},
        {"no program in front: nothing to check", PayloadBytes({}, {}, "", ""), false},
    };
    for (const auto& c : cases) {
        payload::MemoryByteSource source(c.installer.data(), c.installer.size(), "inst.exe");
        const payload::Payload read = payload::ReadPayload(source);
        if (!c.refused) {
            EXPECT_NO_THROW(CheckPayloadFollowsImage(source, read)) << c.name;
            continue;
        }
        try {
            CheckPayloadFollowsImage(source, read);
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const payload::PayloadError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot read inst.exe: the payload is damaged: it would start at byte " +
                                                 std::to_string(program.size() - 100) +
                                                 ", inside the installer program, which ends at byte " +
                                                 std::to_string(program.size()));
        }
    }
}

// Between the program and the payload the builder puts the integrity block and nothing else;
// anything else there, a block whose mark was damaged included, would pass a damaged installer
// off as an older one without a checksum.
TEST(CheckPayloadFollowsImage, AcceptsTheIntegrityBlockAndNothingElseBeforeThePayload) {
    const std::string program = OwnProgram();
    const std::string payload = PayloadBytes({{"a.txt", "alpha"}}, {"EXTRACT a.txt x"}, "", "");
    payload::PayloadHasher hasher;
    hasher.Update(payload.data(), payload.size());
    const auto encoded = formats::EncodeIntegrityBlock(hasher.Finish());
    const std::string block(encoded.begin(), encoded.end());
    std::string damaged_mark = block;
    damaged_mark.back() = 'x';
    struct Case {
        const char* name;
        std::string between;
        bool refused;
    };
    const Case cases[] = {
        {"the integrity block", block, false},
        {"nothing (an older installer)", "", false},
        {"the block with a damaged mark", damaged_mark, true},
        {"as many bytes as a block, of something else", std::string(block.size(), 'z'), true},
        {"one stray byte", "z", true},
        {"a block and a stray byte", block + "z", true},
    };
    for (const auto& c : cases) {
        const std::string installer = program + c.between + payload;
        payload::MemoryByteSource source(installer.data(), installer.size(), "inst.exe");
        const payload::Payload read = payload::ReadPayload(source);
        if (!c.refused) {
            EXPECT_NO_THROW(CheckPayloadFollowsImage(source, read)) << c.name;
            continue;
        }
        EXPECT_THROW(CheckPayloadFollowsImage(source, read), payload::PayloadError) << c.name;
    }
}

}  // namespace
}  // namespace kitforge::setup
