#pragma once
// A signed Windows self-extractor: signing appends a certificate table after the archive (see
// formats/pe_certificate_table.h). The archive reader sees the file only up to that table, so
// the archive's end record is found where it was before signing.

#include <cstdint>
#include <optional>

#include "formats/pe_certificate_table.h"
#include "zipsfx/byte_source.h"

namespace kitforge::zipsfx {

class UnsignedPart final : public ByteSource {
public:
    // The bytes of `whole` before its certificate table, or all of them when it has none (an
    // unsigned or Linux program, or a table that was there before the archive was appended).
    // Throws SfxError when the security directory points outside the file.
    explicit UnsignedPart(ByteSource& whole);

    std::uint64_t Size() const override { return end_; }
    bool ReadAt(std::uint64_t offset, void* data, std::size_t size) override;
    const std::string& Name() const override { return whole_.Name(); }

    const std::optional<formats::PeCertificateTable>& Table() const noexcept { return table_; }

    // Throws SfxError when a certificate table that is not the file's last part reaches past
    // `image_end`, where the header and the archive start: it then overlaps them.
    void RefuseOverlap(std::uint64_t image_end) const;

private:
    ByteSource& whole_;
    std::optional<formats::PeCertificateTable> table_;
    std::uint64_t end_ = 0;
};

}  // namespace kitforge::zipsfx
