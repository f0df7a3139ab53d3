#pragma once
// Archives and self-extracting files made by the tests themselves, so every byte that the
// stub reads is known: a small zip writer (stored or deflated entries, Unix modes, a comment,
// offsets counted from any base) and the 256-byte header.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string_view>
#include <span>
#include <string>
#include <vector>

#include "zipsfx/console.h"

namespace kitforge::zipsfx::testing {

struct TestEntry {
    TestEntry(std::string name_, std::string data_, bool deflate_ = false,
              std::optional<std::uint32_t> unix_mode_ = std::nullopt)
        : name(std::move(name_)), data(std::move(data_)), deflate(deflate_), unix_mode(unix_mode_) {}

    std::string name;
    std::string data;
    bool deflate = false;
    std::optional<std::uint32_t> unix_mode;  // full st_mode, e.g. 0100755
    std::uint32_t dos_time = 0x5A8C6000;     // 2025-04-12 12:00:00
    std::string central_extra;               // extra fields of the directory record
};

struct BuiltZip {
    std::string bytes;
    std::vector<std::size_t> local_offsets;  // positions inside `bytes`
    std::size_t central_offset = 0;          // position inside `bytes`
    std::size_t end_offset = 0;              // position of the end record inside `bytes`
    std::size_t zip64_end_offset = 0;        // position of the zip64 end record, when written
};

// A zip of `entries` whose stored offsets are counted from `base` bytes before its start.
// With `zip64`, every size and offset goes to zip64 fields (as a writer forced to zip64
// does), and a zip64 end record and locator stand before the end record.
BuiltZip BuildZip(const std::vector<TestEntry>& entries, std::uint64_t base = 0, const std::string& comment = "",
                  bool zip64 = false);

// The bytes of one extra field.
std::string ExtraField(std::uint16_t id, const std::string& data);

// The 256-byte header.
std::string HeaderBytes(std::uint8_t flags, const std::string& caption = "", const std::string& folder = "",
                        const std::string& command = "");

// The stub as built, and a self-extracting file made of it, `header` and `zip`.
const std::string& StubBytes();
std::string SfxBytes(const std::string& header, const std::string& zip);
// Writes an executable self-extracting file.
void WriteSfx(const std::string& path, const std::string& header, const std::string& zip);

std::span<const std::uint8_t> AsBytes(const std::string& text);
void PutU16(std::string& bytes, std::size_t at, std::uint16_t value);
void PutU32(std::string& bytes, std::size_t at, std::uint32_t value);

// True when `program` is found on PATH.
bool HaveProgram(const std::string& program);

// A console whose questions are answered from a list (nothing once it is empty, as at the end
// of the input), noting what was said, complained and asked.
class ScriptedConsole : public Console {
public:
    void Say(std::string_view line) override { out += std::string(line) + "\n"; }
    void Complain(std::string_view line) override { err += std::string(line) + "\n"; }
    std::optional<std::string> Ask(std::string_view question) override {
        questions.emplace_back(question);
        if (on_ask) on_ask();
        if (answers.empty()) return std::nullopt;
        std::string answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::string out, err;
    std::deque<std::string> answers;
    std::vector<std::string> questions;
    std::function<void()> on_ask;  // runs while the question waits, as another user could act
};

}  // namespace kitforge::zipsfx::testing
