#pragma once
// The one RAII file handle of every program and library: a POSIX descriptor (on Windows a C
// runtime descriptor over a handle). The named opening functions take paths as the user wrote
// them and make them native; errors name that path. TryOpen and Adopt take the system's path
// as it is, for code that builds its own messages. `Read` and `Write` report short counts instead of
// throwing, for the formats whose rules depend on how many bytes arrived; `ReadExact` and
// `WriteAll` throw when the count falls short.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace kitforge {

class File {
public:
    enum class Whence { Begin, Current, End };
    enum class Access {
        Read,       // an existing file, for reading
        ReadWrite,  // an existing file, for reading and writing
        Replace,    // created, or emptied when it exists, for writing
        CreateNew   // created, for reading and writing; fails when it exists
    };

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
    // Opens `path` exactly as given, with `permissions` (less the umask) for a file it creates.
    // Gives nothing on failure and the errno value in `error`. A folder opens for reading
    // where the system allows it.
    static std::optional<File> TryOpen(const std::string& path, Access access, unsigned permissions = 0666,
                                       int* error = nullptr);
    // Takes ownership of an open descriptor; `path` is its name in messages.
    static File Adopt(int fd, std::string path) { return File(fd, std::move(path)); }

    File() = default;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    bool IsOpen() const noexcept { return fd_ >= 0; }
    int Descriptor() const noexcept { return fd_; }
    // Gives up the descriptor without closing it.
    int Release() noexcept;
    const std::string& Path() const noexcept { return path_; }
    // errno of the last failed call; 0 when the last short count was the end of the file.
    int LastError() const noexcept { return last_error_; }

    // Reads up to `size` bytes, retrying after interruptions; fewer at the end of the file
    // or on an error (see LastError).
    std::size_t Read(void* data, std::size_t size);
    // Writes up to `size` bytes; fewer only on an error such as a full disk.
    std::size_t Write(const void* data, std::size_t size);
    // As Read and Write, at `offset`, leaving the position where it was.
    std::size_t ReadAt(void* data, std::size_t size, std::uint64_t offset);
    std::size_t WriteAt(const void* data, std::size_t size, std::uint64_t offset);

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
    // Cuts or extends the file to `size` bytes, keeping the position; false on failure.
    bool Truncate(std::uint64_t size);
    // True when the descriptor is a folder's.
    bool IsFolder();
    // Flushes the file's data to the disk; the errno value of a failure, else 0.
    int TrySync();
    // Closes the file; the errno value of a failed close (a delayed write error), else 0.
    int TryClose();

    // Flushes the file's data to the disk. Throws InOutError.
    void Sync();
    // Closes the file; a failure of the close (a delayed write error) throws InOutError.
    void Close();

private:
    File(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    static int OpenDescriptor(const std::string& path, Access access, unsigned permissions);
    void CloseQuietly() noexcept;

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
