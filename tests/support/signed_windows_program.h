#pragma once
// Signing Windows programs for the tests of signed installers and self-extractors: the
// smallest PE program that osslsigncode takes, and signing a file with a throwaway certificate.

#include <cstdint>
#include <string>

namespace kitforge::testing {

// A 32-bit PE program of 1,536 bytes (headers and one section), such as a stub in front of an
// installer's payload or a self-extractor's archive.
std::string MinimalWindowsProgram();

// Makes a throwaway self-signed certificate in `folder` (openssl) and signs `path` in place
// with it (osslsigncode). Fails the calling test when either tool fails; the caller skips
// first with KITFORGE_NEEDS_TOOL when one is missing.
void SignWindowsProgram(const std::string& path, const std::string& folder);

// Where the signature's certificate table starts, read from the file's security directory.
std::uint32_t CertificateTableOffset(const std::string& bytes);

}  // namespace kitforge::testing
