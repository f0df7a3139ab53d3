#include "span_test_support.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace kitforge::testing {

std::string NoiseBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = 2463534242u ^ (seed * 2654435761u);
    for (auto& c : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

BuiltArchive WriteStoredArchive(const std::string& path, const std::vector<std::size_t>& sizes) {
    std::vector<BuilderEntry> entries;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        entries.push_back(
            Stored("file" + std::to_string(i + 1) + ".bin", NoiseBytes(sizes[i], static_cast<unsigned>(i))));
    }
    auto built = BuildArchive(entries);
    WriteBytes(path, built.bytes);
    return built;
}

std::vector<PlacedEntry> CheckSetPlacement(TZipMaster& zip, const std::string& last_volume,
                                           const std::vector<std::string>& volume_files) {
    using namespace formats;
    std::vector<PlacedEntry> placed;
    zip.SetZipFilename(last_volume);
    EXPECT_EQ(zip.ZipFilename(), last_volume) << "the set's directory could not be read: " << zip.LastMessage();
    std::vector<std::string> volumes;
    for (const auto& file : volume_files) volumes.push_back(ReadBytes(file));
    for (const auto& entry : zip.Entries()) {
        placed.push_back({entry.FileName, entry.StartDisk, entry.LocalHeaderOffset});
        SCOPED_TRACE(entry.FileName);
        if (entry.StartDisk >= volumes.size()) {
            ADD_FAILURE() << "the entry names volume " << entry.StartDisk;
            continue;
        }
        const std::string& volume = volumes[entry.StartDisk];
        const std::size_t at = entry.LocalHeaderOffset;
        if (at + kLocalHeaderSize > volume.size()) {
            ADD_FAILURE() << "the local header at " << at << " runs past the end of volume " << entry.StartDisk;
            continue;
        }
        const auto* p = reinterpret_cast<const std::uint8_t*>(volume.data()) + at;
        EXPECT_EQ(GetU32LE(p), kLocalHeaderSignature);
        const std::size_t name_length = GetU16LE(p + local::kNameLength);
        const std::size_t extra_length = GetU16LE(p + local::kExtraLength);
        EXPECT_LE(at + kLocalHeaderSize + name_length + extra_length, volume.size()) << "a split local header";
        EXPECT_EQ(ToBackslashes(volume.substr(at + kLocalHeaderSize, name_length)), entry.FileName);
    }
    return placed;
}

}  // namespace kitforge::testing
