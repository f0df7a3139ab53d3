#pragma once
// Version information of executables: the version resource of a Windows PE file, or the block
// in the same format that our own native programs carry in an ELF section, and the small
// component TEPInfoExe that reads the ten text fields of one string table for the About box.
//
// Everything read here comes from files the user points at, so every offset and length is
// checked against the file before it is used; a damaged file reads as one without version
// information.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kitforge {

// The ELF section that holds a native program's version block.
inline constexpr std::string_view kVersionSectionName = ".kitforge.version";

// The fixed code page of the string tables that TEPInfoExe reads: Windows Latin-1.
inline constexpr std::string_view kVersionCodePage = "04E4";

// The ten keys that TEPInfoExe reads, in its order.
inline constexpr std::array<std::string_view, 10> kVersionInfoKeys = {
    "CompanyName",     "FileDescription",  "FileVersion", "InternalName",   "LegalCopyright",
    "LegalTradeMarks", "OriginalFilename", "ProductName", "ProductVersion", "Comments",
};

// A version block: the VS_VERSION_INFO tree as raw bytes.
class VersionBlock {
public:
    explicit VersionBlock(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    // The text at a key path such as "StringFileInfo\0C0904E4\FileVersion" (a leading "\" is
    // allowed). Keys match without regard to ASCII letter case, as the platform's version
    // services do. Nothing when the path does not lead to a text value; a text value that is
    // empty gives "". UTF-16 text is given as UTF-8.
    std::optional<std::string> QueryText(std::string_view path) const;

    // The names of the string tables ("0C0904E4", ...), in block order.
    std::vector<std::string> StringTableNames() const;

    const std::vector<std::uint8_t>& Bytes() const noexcept { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Where the version block of a file's bytes lies. The source gives random access, so a large
// executable is never read whole.
class ExecutableBytes {
public:
    virtual ~ExecutableBytes() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `offset`; false when they are not all there.
    virtual bool ReadAt(std::uint64_t offset, void* data, std::size_t size) const = 0;
};

// Finds the version block of a PE file (the first version resource: name 1 when present,
// otherwise the first name, and its first language) or of an ELF file (the section named
// kVersionSectionName). Nothing when there is none or the file is damaged.
std::optional<VersionBlock> FindVersionBlock(const ExecutableBytes& source);

// The same over bytes in memory.
std::optional<VersionBlock> FindVersionBlock(std::span<const std::uint8_t> bytes);

// Where the version resource that FindVersionBlock reads lies in a PE file, so that another
// block can be written in its place.
struct VersionResourcePlace {
    std::uint64_t block_offset = 0;     // the block's first byte in the file
    std::uint32_t room = 0;             // the resource's size: the most a block there may take
    std::uint64_t size_offset = 0;      // the 32-bit size in the resource's data entry
    std::uint64_t checksum_offset = 0;  // the 32-bit CheckSum of the optional header
};

// Nothing for a file that is not a PE file, holds no version resource or is damaged.
std::optional<VersionResourcePlace> FindVersionResourcePlace(const ExecutableBytes& source);

// The same over a file. Throws ReadError when the file cannot be opened or read; gives
// nothing when it is readable but holds no version block.
std::optional<VersionBlock> ReadVersionBlock(const std::string& path);

// Reads the text fields of an executable's version resource for one language, under the
// fixed code page 04E4. Set ExeName and LangId, then call ReadVersionInfo.
class TEPInfoExe {
public:
    const std::string& LangId() const noexcept { return lang_id_; }
    void SetLangId(std::string lang_id) { lang_id_ = std::move(lang_id); }
    const std::string& ExeName() const noexcept { return exe_name_; }
    void SetExeName(std::string exe_name) { exe_name_ = std::move(exe_name); }

    const std::string& CompanyName() const noexcept { return fields_[0]; }
    const std::string& FileDescription() const noexcept { return fields_[1]; }
    const std::string& FileVersion() const noexcept { return fields_[2]; }
    const std::string& InternalName() const noexcept { return fields_[3]; }
    const std::string& LegalCopyright() const noexcept { return fields_[4]; }
    const std::string& LegalTradeMarks() const noexcept { return fields_[5]; }
    const std::string& OriginalFilename() const noexcept { return fields_[6]; }
    const std::string& ProductName() const noexcept { return fields_[7]; }
    const std::string& ProductVersion() const noexcept { return fields_[8]; }
    const std::string& Comments() const noexcept { return fields_[9]; }

    // The field of kVersionInfoKeys[index].
    const std::string& Field(std::size_t index) const { return fields_.at(index); }

    // Fills the ten fields from ExeName's version block, table LangId + "04E4". A file without
    // a version block, or one that cannot be read, changes nothing and raises nothing; a key
    // or a table the block does not hold gives an empty field.
    void ReadVersionInfo();

private:
    std::string lang_id_ = "040C";
    std::string exe_name_;
    std::array<std::string, 10> fields_;
};

}  // namespace kitforge
