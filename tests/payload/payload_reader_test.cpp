#include <gtest/gtest.h>

#include "formats/installer_payload.h"
#include "payload/payload_reader.h"
#include "support/temp_folder.h"

namespace kitforge::payload {
namespace {

std::string U32(std::uint32_t value) {
    const auto bytes = formats::PayloadNumber(value);
    return std::string(bytes.begin(), bytes.end());
}

std::string Counted(std::string_view text) { return std::string(text) + U32(static_cast<std::uint32_t>(text.size())); }

const std::string kMarkBytes = "\x2E\x22\x6B\x3D";

struct File {
    std::string name;
    std::string contents;
};

// A payload laid out field by field, for files given in EXTRACT order and lines in script order.
std::string Installer(std::string_view stub, const std::vector<File>& files, const std::vector<std::string>& lines,
                      std::string_view prompt, std::string_view title) {
    std::string bytes(stub);
    for (auto file = files.rbegin(); file != files.rend(); ++file)
        bytes += Counted(file->contents) + Counted(file->name);
    bytes += U32(static_cast<std::uint32_t>(files.size()));
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) bytes += Counted(*line);
    bytes += U32(static_cast<std::uint32_t>(lines.size()));
    return bytes + Counted(prompt) + Counted(title) + kMarkBytes;
}

Payload Read(const std::string& bytes, const PayloadLimits& limits = {}) {
    MemoryByteSource source(bytes.data(), bytes.size(), "setup.exe");
    return ReadPayload(source, limits);
}

std::string ErrorOf(const std::string& bytes, const PayloadLimits& limits = {}) {
    try {
        Read(bytes, limits);
    } catch (const PayloadError& e) {
        return e.what();
    }
    return "no error";
}

const std::string kThreeLines = Installer("MZstub", {{"a.txt", "alpha contents"}},
                                          {"EXTRACT a.txt %program%", "execute %program%\\a.txt", "quit"}, "P", "T");

TEST(PayloadReader, ReadsTheExecuteExampleByteForByte) {
    const std::string payload(
        "\x00\x00\x00\x00"
        "execute x\x09\x00\x00\x00"
        "\x01\x00\x00\x00"
        "P\x01\x00\x00\x00"
        "T\x01\x00\x00\x00"
        "\x2E\x22\x6B\x3D",
        35);
    const Payload read = Read("stub" + payload);
    EXPECT_EQ(read.title, "T");
    EXPECT_EQ(read.prompt, "P");
    EXPECT_EQ(read.lines, std::vector<std::string>{"execute x"});
    EXPECT_TRUE(read.files.empty());
    EXPECT_EQ(read.stub_size, 4u);
    EXPECT_EQ(read.file_size, 39u);
}

TEST(PayloadReader, GivesLinesInScriptOrderAndFilesWithTheirPlaceInTheFile) {
    const Payload read = Read(kThreeLines);
    EXPECT_EQ(read.lines, (std::vector<std::string>{"EXTRACT a.txt %program%", "execute %program%\\a.txt", "quit"}));
    ASSERT_EQ(read.files.size(), 1u);
    EXPECT_EQ(read.files[0].name, "a.txt");
    EXPECT_EQ(read.files[0].size, 14u);
    EXPECT_EQ(read.files[0].offset, 6u);
    EXPECT_EQ(kThreeLines.substr(read.files[0].offset, read.files[0].size), "alpha contents");
    EXPECT_EQ(read.stub_size, 6u);
}

TEST(PayloadReader, FilesComeInTheOrderOfTheirExtractLines) {
    const std::string bytes = Installer("", {{"one", "1"}, {"", ""}, {"three", "333"}},
                                        {"extract \"x\\one\" \"t\"", "Extract \"\" \"t\"", "EXTRACT three t"}, "", "");
    const Payload read = Read(bytes);
    ASSERT_EQ(read.files.size(), 3u);
    EXPECT_EQ(read.files[0].name, "one");
    EXPECT_EQ(bytes.substr(read.files[0].offset, read.files[0].size), "1");
    EXPECT_EQ(read.files[1].name, "");
    EXPECT_EQ(read.files[1].size, 0u);
    EXPECT_EQ(read.files[2].name, "three");
    EXPECT_EQ(bytes.substr(read.files[2].offset, read.files[2].size), "333");
    EXPECT_EQ(read.stub_size, 0u);
    EXPECT_EQ(read.title, "");
    EXPECT_EQ(read.prompt, "");
}

TEST(PayloadReader, AFakeMarkInsideTheStubDoesNotConfuseIt) {
    const std::string stub = "stub " + kMarkBytes + U32(3) + "xyz" + kMarkBytes;
    const Payload read = Read(Installer(stub, {}, {"quit"}, "prompt", "title"));
    EXPECT_EQ(read.stub_size, stub.size());
    EXPECT_EQ(read.title, "title");
}

TEST(PayloadReader, EveryTruncationIsACleanError) {
    for (std::size_t size = 0; size < kThreeLines.size(); ++size) {
        const std::string message = ErrorOf(kThreeLines.substr(0, size));
        EXPECT_NE(message, "no error") << "cut to " << size << " bytes";
        EXPECT_NE(message.find("setup.exe"), std::string::npos) << message;
    }
}

TEST(PayloadReader, BytesMissingAtTheFrontShortenOnlyTheStubUntilTheyReachTheRecords) {
    for (std::size_t cut = 0; cut <= 6; ++cut) EXPECT_EQ(Read(kThreeLines.substr(cut)).stub_size, 6 - cut);
    for (std::size_t cut = 7; cut < kThreeLines.size(); ++cut) {
        EXPECT_NE(ErrorOf(kThreeLines.substr(cut)), "no error") << "first " << cut << " bytes removed";
    }
}

TEST(PayloadReader, ACorruptLengthOrCountIsRejectedBeforeUse) {
    // Offsets from the end of kThreeLines of every number field.
    const std::size_t end = kThreeLines.size();
    const struct {
        const char* field;
        std::size_t offset;
        std::uint32_t value;
        const char* expected;
    } rows[] = {
        {"title length too big", end - 8, 1000, "title of 1000 bytes"},
        {"title length negative", end - 8, 0x80000000u, "title length 2147483648 is not below"},
        {"prompt length", end - 13, 0xFFFFFFFFu, "prompt length"},
        {"line count", end - 18, 1000000, "line count 1000000 needs more"},
        {"line count over the limit", end - 18, 0x7FFFFFFF, "exceeds the limit"},
        {"first line length", end - 22, 500, "line of 500 bytes"},
        {"file count", 6 + 14 + 4 + 5 + 4, 7, "file count 7 needs more"},
        {"file name length", 6 + 14 + 4 + 5, 77, "file name of 77 bytes"},
        {"file size", 6 + 14, 21, "file contents of 21 bytes"},
        {"lines and files disagree", 6 + 14 + 4 + 5 + 4, 0, "holds 0 files for 1 EXTRACT lines"},
    };
    for (const auto& row : rows) {
        std::string bytes = kThreeLines;
        bytes.replace(row.offset, 4, U32(row.value));
        const std::string message = ErrorOf(bytes);
        EXPECT_NE(message.find(row.expected), std::string::npos) << row.field << ": " << message;
    }
}

// An installer whose first `front` bytes (stub and file contents) read as zeros, then `tail`:
// files of several GiB without holding them.
class ZerosThenBytes : public ByteSource {
public:
    ZerosThenBytes(std::uint64_t front, std::string tail) : front_(front), tail_(std::move(tail)) {}
    std::uint64_t Size() const override { return front_ + tail_.size(); }
    void ReadAt(std::uint64_t offset, void* out, std::size_t size) override {
        auto* bytes = static_cast<char*>(out);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = offset + i < front_ ? '\0' : tail_.at(offset + i - front_);
    }
    const std::string& Name() const override { return name_; }

private:
    std::uint64_t front_;
    std::string tail_;
    std::string name_ = "setup.exe";
};

std::string StoredSize(std::uint64_t size) {
    const formats::StoredFileSize stored = formats::EncodeFileSize(size);
    return std::string(stored.bytes.begin(), stored.bytes.begin() + static_cast<std::ptrdiff_t>(stored.length));
}

// What follows the contents of the only file: its size as `size_bytes`, its name, and the rest
// of a payload with one EXTRACT line.
std::string AfterTheContents(const std::string& size_bytes) {
    return size_bytes + Counted("big.bin") + U32(1) + Counted("EXTRACT big.bin %program%") + U32(1) + Counted("") +
           Counted("") + kMarkBytes;
}

TEST(PayloadReader, FileSizesOfEveryRangeRoundTrip) {
    for (const std::uint64_t size : {0ull, 0x7FFFFFFFull, 0x80000000ull, 0x100000000ull, 5ull << 30}) {
        ZerosThenBytes source(4 + size, AfterTheContents(StoredSize(size)));
        const Payload read = ReadPayload(source);
        ASSERT_EQ(read.files.size(), 1u) << size;
        EXPECT_EQ(read.files[0].size, size);
        EXPECT_EQ(read.files[0].offset, 4u) << size;
        EXPECT_EQ(read.stub_size, 4u) << size;
    }
}

TEST(PayloadReader, ADamagedLongFileSizeIsRefused) {
    const struct {
        const char* what;
        std::uint64_t front;
        std::string size_bytes;
        const char* expected;
    } rows[] = {
        {"high part past the largest file", 1ull << 40, U32(0) + U32(0xC0000000u),
         "the 64-bit file size has the high part 1073741824, past the largest file of 4611686018427387903 bytes"},
        {"a small size in the long form", 100, U32(5) + U32(0x80000000u), "the 64-bit file size 5 is below 2147483648"},
        {"no room for the low word", 0, U32(0x80000001u),
         "truncated: no room for the low part of the 64-bit file size"},
        {"contents shorter than the size", 100, U32(0) + U32(0x80000001u),
         "the file contents of 4294967296 bytes reaches before the start of the file"},
    };
    for (const auto& row : rows) {
        ZerosThenBytes source(row.front, AfterTheContents(row.size_bytes));
        try {
            ReadPayload(source);
            ADD_FAILURE() << row.what << ": read";
        } catch (const PayloadError& e) {
            EXPECT_NE(std::string(e.what()).find(row.expected), std::string::npos) << row.what << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find("setup.exe"), std::string::npos) << e.what();
        }
    }
}

TEST(PayloadReader, LimitsBoundWhatAPayloadMayClaim) {
    PayloadLimits limits;
    limits.max_text_bytes = 10;
    EXPECT_NE(ErrorOf(kThreeLines, limits).find("texts exceed 10 bytes"), std::string::npos);
    limits = {};
    limits.max_lines = 2;
    EXPECT_NE(ErrorOf(kThreeLines, limits).find("line count 3 exceeds the limit of 2"), std::string::npos);
    limits = {};
    limits.max_files = 0;
    EXPECT_NE(ErrorOf(kThreeLines, limits).find("file count 1 exceeds"), std::string::npos);
}

TEST(PayloadReader, FilesThatAreNotInstallers) {
    EXPECT_NE(ErrorOf("").find("too small"), std::string::npos);
    EXPECT_NE(ErrorOf(std::string(100, 'x')).find("does not end with the payload mark"), std::string::npos);
    // Four zero numbers before the mark are the smallest valid payload; three are too few.
    EXPECT_EQ(Read(std::string(16, '\0') + kMarkBytes).stub_size, 0u);
    EXPECT_NE(ErrorOf(std::string(12, '\0') + kMarkBytes).find("too small"), std::string::npos);
}

TEST(PayloadReader, ReadsFromAFileOnDisk) {
    testing::TempFolder folder;
    testing::WriteBytes(folder / "setup.exe", kThreeLines);
    const Payload read = ReadPayload(folder / "setup.exe");
    EXPECT_EQ(read.lines.size(), 3u);
    EXPECT_EQ(read.file_size, kThreeLines.size());
    testing::WriteBytes(folder / "short.exe", kThreeLines.substr(0, 30));
    try {
        ReadPayload(folder / "short.exe");
        FAIL();
    } catch (const PayloadError& e) {
        EXPECT_EQ(e.Path(), folder / "short.exe");
    }
    EXPECT_THROW(ReadPayload(folder / "missing.exe"), ReadError);
}

}  // namespace
}  // namespace kitforge::payload
