// A range of bytes read whole from a source, or a clear error naming the file: the same on
// every system.

#include <cstdint>
#include <string>
#include <vector>

#include "zipsfx/byte_source.h"
#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

std::vector<std::uint8_t> ReadRange(ByteSource& source, std::uint64_t offset, std::size_t size,
                                    const std::string& what) {
    std::vector<std::uint8_t> bytes(size);
    if (!source.ReadAt(offset, bytes.data(), size)) {
        throw SfxError(source.Name() + " is damaged: " + what + " lies beyond the end of the file");
    }
    return bytes;
}

}  // namespace kitforge::zipsfx
