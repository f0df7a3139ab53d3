#pragma once
// Random-access reading of the stub's own file. The archive reader works on this interface
// only, so the tests and the fuzz target can hand it bytes in memory.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "os/file.h"

namespace kitforge::zipsfx {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `offset`; false when they are not all there or the read fails.
    virtual bool ReadAt(std::uint64_t offset, void* data, std::size_t size) = 0;
    // The name to use in messages.
    virtual const std::string& Name() const = 0;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(std::span<const std::uint8_t> bytes, std::string name = "archive")
        : bytes_(bytes), name_(std::move(name)) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    bool ReadAt(std::uint64_t offset, void* data, std::size_t size) override;
    const std::string& Name() const override { return name_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::string name_;
};

class FileSource final : public ByteSource {
public:
    // Opens `path` for reading; throws SfxError naming the file and the reason.
    explicit FileSource(const std::string& path);

    std::uint64_t Size() const override { return size_; }
    bool ReadAt(std::uint64_t offset, void* data, std::size_t size) override;
    const std::string& Name() const override { return path_; }

private:
    File file_;
    std::uint64_t size_ = 0;
    std::string path_;
};

// Reads `size` bytes at `offset` or throws SfxError saying that `what` lies beyond the end of
// the file or cannot be read.
std::vector<std::uint8_t> ReadRange(ByteSource& source, std::uint64_t offset, std::size_t size,
                                    const std::string& what);

}  // namespace kitforge::zipsfx
