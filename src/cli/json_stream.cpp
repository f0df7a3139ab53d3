#include "cli/json_stream.h"

#include <nlohmann/json.hpp>

#include "platform/printable_text.h"

namespace kitforge::cli {

void AppendJsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    const std::size_t start = out.size();
    out += '"';
    std::size_t plain = 0;  // start of the run of bytes copied as they are
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            char32_t code_point = 0;
            const std::size_t length = Utf8Sequence(text.substr(i), code_point);
            if (length == 0) {
                // Rare: the JSON library's own replacement of bad bytes, so such texts come
                // out as they always have.
                out.resize(start);
                out += nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
                return;
            }
            i += length;
            continue;
        }
        if (c >= 0x20 && c != '"' && c != '\\') {
            ++i;
            continue;
        }
        out.append(text.substr(plain, i - plain));
        plain = ++i;
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
        }
    }
    out.append(text.substr(plain));
    out += '"';
}

void JsonStream::NewLine() {
    buffer_ += '\n';
    buffer_.append(2 * counts_.size(), ' ');
}

void JsonStream::BeginValue() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (counts_.empty()) return;
    if (counts_.back()++ > 0) buffer_ += ',';
    NewLine();
}

void JsonStream::Key(std::string_view key) {
    BeginValue();
    AppendJsonString(buffer_, key);
    buffer_ += ": ";
    after_key_ = true;
}

void JsonStream::Open(char bracket) {
    BeginValue();
    buffer_ += bracket;
    counts_.push_back(0);
}

void JsonStream::Close(char bracket) {
    const bool empty = counts_.back() == 0;
    counts_.pop_back();
    if (!empty) NewLine();
    buffer_ += bracket;
    FlushIfFull();
}

void JsonStream::String(std::string_view text) {
    BeginValue();
    AppendJsonString(buffer_, text);
    FlushIfFull();
}

void JsonStream::Bool(bool value) {
    BeginValue();
    buffer_ += value ? "true" : "false";
}

void JsonStream::Finish() {
    buffer_ += '\n';
    Flush();
}

void JsonStream::Flush() {
    if (buffer_.empty()) return;
    out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    buffer_.clear();
}

}  // namespace kitforge::cli
