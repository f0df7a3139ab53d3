// Installers come from anywhere, and the installer stub reads its own payload with this code:
// any bytes must give either a payload whose every file lies inside the data (before the
// certificate table of a signed Windows installer) and is no larger
// than an installer may hold, or a PayloadError; the integrity block in front of the payload,
// when its mark is there, must lie between the stub and the payload, and checking the checksum
// must give an outcome. Nothing else may happen: no crash, no other exception, no huge
// allocation.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "formats/installer_integrity.h"
#include "formats/installer_payload.h"
#include "payload/payload_checksum.h"
#include "payload/payload_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kitforge::payload;
    MemoryByteSource source(data, size, "fuzz.exe");
    PayloadLimits limits;
    limits.max_text_bytes = 1 << 20;
    try {
        const Payload payload = ReadPayload(source, limits);
        if (payload.file_size != size || payload.payload_end > size || payload.stub_size > payload.payload_end) {
            std::abort();
        }
        std::uint64_t texts = payload.title.size() + payload.prompt.size();
        for (const auto& line : payload.lines) texts += line.size();
        // Records are written last first, so files in EXTRACT order lie ever nearer the stub,
        // each wholly before the one before it and after the stub.
        std::uint64_t limit = payload.payload_end;
        for (const auto& file : payload.files) {
            if (file.size > kitforge::formats::kPayloadMaxFileSize) std::abort();
            if (file.offset < payload.stub_size || file.offset + file.size > limit) std::abort();
            limit = file.offset;
            texts += file.name.size();
        }
        if (texts > size) std::abort();

        const std::uint64_t block = payload.integrity ? kitforge::formats::kIntegrityBlockSize : 0;
        if (payload.stub_size + block != payload.payload_offset || payload.payload_offset > payload.payload_end) {
            std::abort();
        }
        if (DescribeChecksum(CheckPayloadChecksum(source, payload)).empty()) std::abort();
    } catch (const PayloadError&) {
    }
    return 0;
}
