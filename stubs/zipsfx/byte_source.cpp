#include "zipsfx/byte_source.h"

#include <cstring>

#include "os/errors.h"
#include "os/file_kind.h"
#include "os/native_path.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

bool MemorySource::ReadAt(std::uint64_t offset, void* data, std::size_t size) {
    if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
    if (size > 0) std::memcpy(data, bytes_.data() + offset, size);
    return true;
}

FileSource::FileSource(const std::string& path) : path_(path) {
    int error = 0;
    auto file = File::TryOpen(path, File::Access::Read, 0666, &error);
    if (!file) throw SfxError("cannot open " + DisplayPath(path) + ": " + SystemReason(error));
    const std::int64_t size = file->Size();
    if (size < 0) throw SfxError("cannot read " + DisplayPath(path) + ": " + SystemReason(file->LastError()));
    if (!IsRegular(*file)) throw SfxError("cannot read " + DisplayPath(path) + ": not a regular file");
    file_ = std::move(*file);
    size_ = static_cast<std::uint64_t>(size);
}

bool FileSource::ReadAt(std::uint64_t offset, void* data, std::size_t size) {
    if (offset > size_ || size > size_ - offset) return false;
    return file_.ReadAt(data, size, offset) == size;
}

}  // namespace kitforge::zipsfx
