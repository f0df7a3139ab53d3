#include "zipsfx/signed_program.h"

#include <string>

#include "zipsfx/sfx_error.h"

namespace kitforge::zipsfx {

UnsignedPart::UnsignedPart(ByteSource& whole) : whole_(whole), end_(whole.Size()) {
    const formats::PeCertificateLookup lookup = formats::FindPeCertificateTable(
        [&](std::uint64_t offset, void* data, std::size_t size) { return whole.ReadAt(offset, data, size); },
        whole.Size());
    if (!lookup.problem.empty()) throw SfxError(whole.Name() + " is damaged: " + lookup.problem);
    table_ = lookup.table;
    // The zero bytes that pad the file before the table stay: the archive reader takes bytes
    // after the end record's comment as bytes it does not need, and the end record itself may
    // end in zero bytes, so they could not be told from padding.
    if (lookup.EndsFile(whole.Size())) end_ = table_->offset;
}

bool UnsignedPart::ReadAt(std::uint64_t offset, void* data, std::size_t size) {
    if (offset > end_ || size > end_ - offset) return false;
    return whole_.ReadAt(offset, data, size);
}

void UnsignedPart::RefuseOverlap(std::uint64_t image_end) const {
    if (!table_ || end_ != whole_.Size() || table_->offset + table_->size <= image_end) return;
    throw SfxError(whole_.Name() + " is damaged: the certificate table of the Windows program (" +
                   std::to_string(table_->size) + " bytes at offset " + std::to_string(table_->offset) +
                   ") overlaps the self-extractor's header or archive");
}

}  // namespace kitforge::zipsfx
