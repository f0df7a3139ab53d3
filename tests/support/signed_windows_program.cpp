#include "support/signed_windows_program.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "support/run_program.h"

namespace kitforge::testing {

namespace {

constexpr std::size_t kPeOffset = 0x80;
constexpr std::size_t kOptionalHeader = kPeOffset + 4 + 20;
constexpr std::size_t kOptionalSize = 224;

void Put16(std::string& bytes, std::size_t at, std::uint16_t value) {
    for (int i = 0; i < 2; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}
void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

}  // namespace

std::string MinimalWindowsProgram() {
    std::string bytes(0x600, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    Put32(bytes, 0x3C, kPeOffset);
    bytes.replace(kPeOffset, 4, std::string("PE\0\0", 4));
    const std::size_t file_header = kPeOffset + 4;
    Put16(bytes, file_header, 0x14C);  // i386
    Put16(bytes, file_header + 2, 1);  // one section
    Put16(bytes, file_header + 16, kOptionalSize);
    Put16(bytes, file_header + 18, 0x0102);  // executable, 32-bit
    const std::size_t optional = kOptionalHeader;
    Put16(bytes, optional, 0x10B);        // PE32
    Put32(bytes, optional + 32, 0x1000);  // section alignment
    Put32(bytes, optional + 36, 0x200);   // file alignment
    Put32(bytes, optional + 56, 0x2000);  // size of image
    Put32(bytes, optional + 60, 0x400);   // size of headers
    Put16(bytes, optional + 68, 3);       // console subsystem
    Put32(bytes, optional + 92, 16);      // data directories
    const std::size_t section = optional + kOptionalSize;
    bytes.replace(section, 5, ".text");
    Put32(bytes, section + 8, 0x200);        // virtual size
    Put32(bytes, section + 12, 0x1000);      // address
    Put32(bytes, section + 16, 0x200);       // raw size
    Put32(bytes, section + 20, 0x400);       // raw offset
    Put32(bytes, section + 36, 0x60000020);  // code, executable, readable
    bytes[0x400] = '\xC3';                   // ret
    return bytes;
}

void SignWindowsProgram(const std::string& path, const std::string& folder) {
    const std::string key = folder + "/signing-key.pem";
    const std::string certificate = folder + "/signing-certificate.pem";
    const ProgramResult made = RunProgram({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                                           "-out", certificate, "-days", "2", "-subj", "/CN=Kitforge test signer"});
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string signed_path = path + ".signed";
    const ProgramResult signing =
        RunProgram({"osslsigncode", "sign", "-certs", certificate, "-key", key, "-in", path, "-out", signed_path});
    ASSERT_EQ(signing.status, 0) << signing.out << signing.err;
    ASSERT_EQ(std::rename(signed_path.c_str(), path.c_str()), 0) << std::strerror(errno);
}

std::uint32_t CertificateTableOffset(const std::string& bytes) {
    const std::size_t entry = kOptionalHeader + 96 + 4 * 8;
    std::uint32_t offset = 0;
    for (int i = 3; i >= 0; --i) offset = (offset << 8) | static_cast<unsigned char>(bytes.at(entry + i));
    return offset;
}

}  // namespace kitforge::testing
