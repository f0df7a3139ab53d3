#include <algorithm>
#include <cstring>

#include "zipsfx/byte_source.h"
#include "zipsfx/sfx_error.h"
#include "zipsfx/windows_text.h"

namespace kitforge::zipsfx {

namespace {
HANDLE HandleOf(int handle) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle)); }
}  // namespace

bool MemorySource::ReadAt(std::uint64_t offset, void* data, std::size_t size) {
    if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
    if (size > 0) std::memcpy(data, bytes_.data() + offset, size);
    return true;
}

// The handle is kept in the descriptor field: a 32-bit program's handles fit in an int.
FileSource::FileSource(const std::string& path) : path_(path) {
    HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) throw SfxError(WindowsFailure("open", path, GetLastError()));
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle, &size) || GetFileType(handle) != FILE_TYPE_DISK) {
        const DWORD code = GetLastError();
        CloseHandle(handle);
        throw SfxError(code != 0 ? WindowsFailure("read", path, code) : "cannot read " + path + ": not a regular file");
    }
    fd_ = static_cast<int>(reinterpret_cast<std::intptr_t>(handle));
    size_ = static_cast<std::uint64_t>(size.QuadPart);
}

FileSource::~FileSource() {
    if (fd_ != -1) CloseHandle(HandleOf(fd_));
}

bool FileSource::ReadAt(std::uint64_t offset, void* data, std::size_t size) {
    if (offset > size_ || size > size_ - offset) return false;
    auto* out = static_cast<char*>(data);
    while (size > 0) {
        OVERLAPPED place{};
        place.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
        place.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        if (!ReadFile(HandleOf(fd_), out, want, &got, &place) || got == 0) return false;
        out += got;
        size -= got;
        offset += got;
    }
    return true;
}

}  // namespace kitforge::zipsfx
