#pragma once
// A small RAII file descriptor for the library. The library is a separate module with no
// part of the program linked in, so it carries its own: every failure throws IoFailure with
// the file's name and the system's reason.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace zipdll {

// A failure that names its file: "Cannot <action> <path>: <reason>".
class IoFailure : public std::runtime_error {
public:
    IoFailure(const std::string& action, const std::string& path, int error_number);
    IoFailure(const std::string& action, const std::string& path, const std::string& reason);
    int ErrorNumber() const noexcept { return error_number_; }

private:
    int error_number_ = 0;
};

class PosixFile {
public:
    static PosixFile OpenRead(const std::string& path);
    // Creates a new file that must not exist yet.
    static PosixFile CreateNew(const std::string& path, mode_t mode = 0666);
    // Takes ownership of an open descriptor.
    static PosixFile Adopt(int fd, std::string path) { return PosixFile(fd, std::move(path)); }

    PosixFile() = default;
    PosixFile(PosixFile&& other) noexcept;
    PosixFile& operator=(PosixFile&& other) noexcept;
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;
    ~PosixFile();

    bool IsOpen() const noexcept { return fd_ >= 0; }
    int Descriptor() const noexcept { return fd_; }
    const std::string& Path() const noexcept { return path_; }

    std::uint64_t Size() const;
    // Reads up to `size` bytes at `offset`; fewer only at the end of the file.
    std::size_t ReadAt(void* data, std::size_t size, std::uint64_t offset) const;
    // Reads exactly `size` bytes at `offset` or throws.
    void ReadExactAt(void* data, std::size_t size, std::uint64_t offset) const;
    // Writes every byte at the current position or throws.
    void Write(const void* data, std::size_t size);
    void WriteAt(const void* data, std::size_t size, std::uint64_t offset);
    std::uint64_t Position() const;
    void SeekTo(std::uint64_t offset);
    void Truncate(std::uint64_t size);
    void Sync();
    void Close();

private:
    PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

    int fd_ = -1;
    std::string path_;
};

}  // namespace zipdll
