#pragma once
// RAII file handle over a POSIX descriptor. Paths are given as the user wrote them and made
// native here; errors name that path. `Read` and `Write` report short counts instead of
// throwing, for the formats whose rules depend on how many bytes arrived; `ReadExact` and
// `WriteAll` throw when the count falls short.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kitforge {

class File {
public:
    enum class Whence { Begin, Current, End };

    // Opens an existing file for reading. Throws ReadError.
    static File OpenRead(const std::string& path);
    // Opens an existing file for reading and writing. Throws InOutError.
    static File OpenReadWrite(const std::string& path);
    // Creates a file, or empties an existing one, for writing. Throws InOutError.
    static File Create(const std::string& path, unsigned mode = 0666);
    // Creates a file that must not exist yet (O_EXCL). Throws InOutError.
    static File CreateNew(const std::string& path, unsigned mode = 0666);
    // Like OpenRead but gives nothing instead of throwing; `error` receives errno.
    static std::optional<File> TryOpenRead(const std::string& path, int* error = nullptr);

    File() = default;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    bool IsOpen() const noexcept { return fd_ >= 0; }
    int Descriptor() const noexcept { return fd_; }
    const std::string& Path() const noexcept { return path_; }
    // errno of the last failed call; 0 when the last short count was the end of the file.
    int LastError() const noexcept { return last_error_; }

    // Reads up to `size` bytes, retrying after interruptions; fewer at the end of the file
    // or on an error (see LastError).
    std::size_t Read(void* data, std::size_t size);
    // Writes up to `size` bytes; fewer only on an error such as a full disk.
    std::size_t Write(const void* data, std::size_t size);

    // Reads exactly `size` bytes or throws ReadError naming the file.
    void ReadExact(void* data, std::size_t size);
    // Writes every byte or throws InOutError naming the file.
    void WriteAll(const void* data, std::size_t size);
    void WriteAll(std::span<const std::byte> bytes) { WriteAll(bytes.data(), bytes.size()); }
    void WriteAll(std::string_view text) { WriteAll(text.data(), text.size()); }
    // Writes a 32-bit unsigned number in little-endian byte order.
    void WriteU32LE(std::uint32_t value);

    // Moves the position; gives the new position or -1 (LastError set).
    std::int64_t Seek(std::int64_t offset, Whence whence = Whence::Begin);
    // The current position, or -1.
    std::int64_t Position();
    // The file's size, or -1.
    std::int64_t Size();

    // Flushes the file's data to the disk. Throws InOutError.
    void Sync();
    // Closes the file; a failure of the close (a delayed write error) throws InOutError.
    void Close();

private:
    File(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    void Release() noexcept;

    int fd_ = -1;
    std::string path_;
    int last_error_ = 0;
};

// True when `path` names an existing regular file (or a link to one).
bool FileExists(const std::string& path);
// True when `path` names an existing folder.
bool FolderExists(const std::string& path);
// Deletes a file; gives false (errno in `error`) when that fails. A missing file is a failure.
bool DeleteFile(const std::string& path, int* error = nullptr);
// The size of an existing file, or -1.
std::int64_t FileSize(const std::string& path);

}  // namespace kitforge
