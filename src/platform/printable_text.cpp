#include "platform/printable_text.h"

#include "os/native_path.h"

namespace kitforge {

namespace {

bool IsControl(char32_t code_point) { return code_point < 0x20 || (code_point >= 0x7F && code_point < 0xA0); }

}  // namespace

std::size_t Utf8Sequence(std::string_view text, char32_t& code_point) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length;
    char32_t minimum;
    if (lead < 0x80) {
        code_point = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, code_point = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, code_point = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, code_point = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) return 0;
        code_point = code_point << 6 | (next & 0x3F);
    }
    const bool surrogate = code_point >= 0xD800 && code_point <= 0xDFFF;
    return code_point < minimum || code_point > 0x10FFFF || surrogate ? 0 : length;
}

std::string Printable(std::string_view text, std::size_t limit) {
    const bool cut = text.size() > limit;
    if (cut) text = text.substr(0, limit);
    std::string printable;
    printable.reserve(text.size());
    while (!text.empty()) {
        char32_t code_point = 0;
        const std::size_t length = Utf8Sequence(text, code_point);
        if (length == 0 || IsControl(code_point)) {
            printable += '?';
            text.remove_prefix(length == 0 ? 1 : length);
        } else {
            printable.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    if (cut) printable += "...";
    return printable;
}

std::string PrintablePath(std::string_view path, std::size_t limit) { return Printable(DisplayPath(path), limit); }

}  // namespace kitforge
