#include "fault_run.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "support/temp_folder.h"

namespace kitforge::testing {

ProgramResult RunWithFaults(const FaultSettings& settings, const std::vector<std::string>& command,
                            const std::string& log, const std::string& folder) {
    // Under AddressSanitizer the injector stands before the sanitizer's runtime in the load
    // order, which the runtime refuses unless told that this is wanted.
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::string asan_options = asan != nullptr && *asan != '\0' ? std::string(asan) + ":" : std::string();
    asan_options += "verify_asan_link_order=0";
    std::vector<std::string> full = {"env", "LD_PRELOAD=" KITFORGE_FAULT_INJECTOR, "ASAN_OPTIONS=" + asan_options};
    if (!log.empty()) full.push_back("KF_FAULT_LOG=" + log);
    for (const auto& [name, value] : settings) full.push_back(name + "=" + value);
    full.insert(full.end(), command.begin(), command.end());
    return RunProgram(full, folder);
}

std::map<std::string, std::string> FolderContents(const std::string& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        contents[std::filesystem::relative(entry.path(), folder).string()] =
            Fingerprint(ReadBytes(entry.path().string()));
    }
    return contents;
}

std::string Names(const std::map<std::string, std::string>& contents) {
    std::string names;
    for (const auto& [name, fingerprint] : contents) names += name + " (" + fingerprint + ")\n";
    return names.empty() ? "(nothing)" : names;
}

std::string Fingerprint(const std::string& bytes) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char digest[17];
    std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(hash));
    return std::to_string(bytes.size()) + " bytes, " + digest;
}

std::string PseudoRandomBytes(std::size_t size, std::uint32_t seed) {
    std::string bytes(size, '\0');
    std::uint64_t state = seed;
    for (std::size_t i = 0; i < size; i += 4) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const auto word = static_cast<std::uint32_t>(state >> 32);
        for (std::size_t k = 0; k < 4 && i + k < size; ++k) bytes[i + k] = static_cast<char>(word >> (8 * k));
    }
    return bytes;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace kitforge::testing
