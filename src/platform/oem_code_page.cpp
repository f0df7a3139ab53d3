#include "platform/oem_code_page.h"

#include <array>

namespace kitforge {

namespace {

// Code page 437 bytes 0x80 to 0xFF, each as its code page 1252 byte. Where 1252 has the same
// character the entry is that character; the others are the look-alikes named in the header.
constexpr std::array<unsigned char, 128> kOemHighHalf = {
    // 0x80: Ç ü é â ä à å ç ê ë è ï î ì Ä Å
    0xC7,
    0xFC,
    0xE9,
    0xE2,
    0xE4,
    0xE0,
    0xE5,
    0xE7,
    0xEA,
    0xEB,
    0xE8,
    0xEF,
    0xEE,
    0xEC,
    0xC4,
    0xC5,
    // 0x90: É æ Æ ô ö ò û ù ÿ Ö Ü ¢ £ ¥ ₧ ƒ
    0xC9,
    0xE6,
    0xC6,
    0xF4,
    0xF6,
    0xF2,
    0xFB,
    0xF9,
    0xFF,
    0xD6,
    0xDC,
    0xA2,
    0xA3,
    0xA5,
    'P',
    0x83,
    // 0xA0: á í ó ú ñ Ñ ª º ¿ ⌐ ¬ ½ ¼ ¡ « »
    0xE1,
    0xED,
    0xF3,
    0xFA,
    0xF1,
    0xD1,
    0xAA,
    0xBA,
    0xBF,
    0xAC,
    0xAC,
    0xBD,
    0xBC,
    0xA1,
    0xAB,
    0xBB,
    // 0xB0: ░ ▒ ▓ │ ┤ ╡ ╢ ╖ ╕ ╣ ║ ╗ ╝ ╜ ╛ ┐
    '#',
    '#',
    '#',
    '|',
    '+',
    '+',
    '+',
    '+',
    '+',
    '+',
    '|',
    '+',
    '+',
    '+',
    '+',
    '+',
    // 0xC0: └ ┴ ┬ ├ ─ ┼ ╞ ╟ ╚ ╔ ╩ ╦ ╠ ═ ╬ ╧
    '+',
    '+',
    '+',
    '+',
    '-',
    '+',
    '+',
    '+',
    '+',
    '+',
    '+',
    '+',
    '+',
    '=',
    '+',
    '+',
    // 0xD0: ╨ ╤ ╥ ╙ ╘ ╒ ╓ ╫ ╪ ┘ ┌ █ ▄ ▌ ▐ ▀
    '+',
    '+',
    '+',
    '+',
    '+',
    '+',
    '+',
    '+',
    '+',
    '+',
    '+',
    '#',
    '#',
    '#',
    '#',
    '#',
    // 0xE0: α ß Γ π Σ σ µ τ Φ Θ Ω δ ∞ φ ε ∩
    'a',
    0xDF,
    'G',
    'p',
    'S',
    's',
    0xB5,
    't',
    'F',
    'T',
    'O',
    'd',
    '8',
    'f',
    'e',
    'n',
    // 0xF0: ≡ ± ≥ ≤ ⌠ ⌡ ÷ ≈ ° ∙ · √ ⁿ ² ■ NBSP
    '=',
    0xB1,
    '>',
    '<',
    '(',
    ')',
    0xF7,
    '~',
    0xB0,
    0xB7,
    0xB7,
    'v',
    'n',
    0xB2,
    '#',
    0xA0,
};

}  // namespace

unsigned char OemToAnsiChar(unsigned char oem) noexcept { return oem < 0x80 ? oem : kOemHighHalf[oem - 0x80]; }

std::string OemToAnsi(std::string_view oem) {
    std::string ansi(oem);
    for (char& c : ansi) c = static_cast<char>(OemToAnsiChar(static_cast<unsigned char>(c)));
    return ansi;
}

}  // namespace kitforge
