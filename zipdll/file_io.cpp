#include "file_io.h"

#include <cerrno>

namespace zipdll {

void ThrowIoFailure(const std::string& action, const std::string& path, int code) {
    throw IoFailure(action, path, code, kitforge::SystemReason(code));
}

File OpenRead(const std::string& path) {
    int error = 0;
    auto file = File::TryOpen(path, File::Access::Read, 0666, &error);
    if (!file) ThrowIoFailure("open", path, error);
    return std::move(*file);
}

File CreateNew(const std::string& path, unsigned mode) {
    int error = 0;
    auto file = File::TryOpen(path, File::Access::CreateNew, mode, &error);
    if (!file) ThrowIoFailure("create", path, error);
    return std::move(*file);
}

std::uint64_t SizeOf(File& file) {
    const std::int64_t size = file.Size();
    if (size < 0) ThrowIoFailure("read", file.Path(), file.LastError());
    return static_cast<std::uint64_t>(size);
}

std::size_t ReadAt(File& file, void* data, std::size_t size, std::uint64_t offset) {
    const std::size_t got = file.ReadAt(data, size, offset);
    if (got < size && file.LastError() != 0) ThrowIoFailure("read", file.Path(), file.LastError());
    return got;
}

void ReadExactAt(File& file, void* data, std::size_t size, std::uint64_t offset) {
    if (ReadAt(file, data, size, offset) != size) throw IoFailure("read", file.Path(), 0, "the file ends too early");
}

void WriteAll(File& file, const void* data, std::size_t size) {
    if (file.Write(data, size) != size) ThrowIoFailure("write", file.Path(), file.LastError());
}

void WriteAllAt(File& file, const void* data, std::size_t size, std::uint64_t offset) {
    if (file.WriteAt(data, size, offset) != size) ThrowIoFailure("write", file.Path(), file.LastError());
}

std::uint64_t PositionOf(File& file) {
    const std::int64_t at = file.Position();
    if (at < 0) ThrowIoFailure("seek in", file.Path(), file.LastError());
    return static_cast<std::uint64_t>(at);
}

void SeekTo(File& file, std::uint64_t offset) {
    if (file.Seek(static_cast<std::int64_t>(offset)) < 0) ThrowIoFailure("seek in", file.Path(), file.LastError());
}

void Truncate(File& file, std::uint64_t size) {
    if (!file.Truncate(size)) ThrowIoFailure("write", file.Path(), file.LastError());
}

void Sync(File& file) {
    if (const int error = file.TrySync(); error != 0) ThrowIoFailure("write", file.Path(), error);
}

void Close(File& file) {
    if (const int error = file.TryClose(); error != 0) ThrowIoFailure("write", file.Path(), error);
}

}  // namespace zipdll
