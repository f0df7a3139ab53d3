#pragma once
// Names in zip archives made on MS-DOS and OS/2 are stored in the OEM code page 437; the rest of
// the program holds text in the ANSI code page 1252. This is the conversion between the two,
// one byte to one byte, from a fixed table, so a converted name always keeps its length.

#include <string>
#include <string_view>

namespace kitforge {

// The code page 1252 byte for one code page 437 byte. Bytes below 128 are returned unchanged.
// Characters that code page 1252 lacks (box drawing, most Greek letters, mathematical signs)
// become the nearest plain character: a corner or junction "+", a line "-", "=" or "|", a
// shade or block "#", a Greek letter its Latin look-alike.
unsigned char OemToAnsiChar(unsigned char oem) noexcept;

// Every byte of `oem` through OemToAnsiChar; the result has the length of the input.
std::string OemToAnsi(std::string_view oem);

}  // namespace kitforge
