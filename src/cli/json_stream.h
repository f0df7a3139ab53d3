#pragma once
// JSON written as it is produced, without building a document first: a listing of a hundred
// thousand entries goes out in one pass. The layout is the one the tool has always printed
// (two spaces of indent, "key": value, empty containers as {} and []), and strings are
// escaped the same way: quote, backslash and control characters escaped, other characters
// kept as UTF-8, and bytes that are not UTF-8 replaced by U+FFFD.

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace kitforge::cli {

// `text` as a JSON string, quotes included.
void AppendJsonString(std::string& out, std::string_view text);

class JsonStream {
public:
    explicit JsonStream(std::ostream& out) : out_(out) { buffer_.reserve(kFlushSize + 4096); }
    ~JsonStream() { Flush(); }
    JsonStream(const JsonStream&) = delete;
    JsonStream& operator=(const JsonStream&) = delete;

    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    // The key of the next value of the open object.
    void Key(std::string_view key);

    void String(std::string_view text);
    void Bool(bool value);
    template <typename Integer>
    requires std::is_integral_v<Integer>
    void Number(Integer value) {
        BeginValue();
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        buffer_.append(digits, end);
    }

    // Ends the document with a line break and hands everything to the stream.
    void Finish();
    void Flush();

private:
    void Open(char bracket);
    void Close(char bracket);
    // The separator and indent that go before a value, unless it follows its key.
    void BeginValue();
    void NewLine();
    void FlushIfFull() {
        if (buffer_.size() >= kFlushSize) Flush();
    }

    static constexpr std::size_t kFlushSize = 1 << 16;
    std::ostream& out_;
    std::string buffer_;
    std::vector<std::size_t> counts_;  // values written so far in each open container
    bool after_key_ = false;
};

}  // namespace kitforge::cli
