// Finding the zip64 end record of an archive through its locator.

#include "zip/zip64_end_search.h"

namespace kitforge {

namespace {

using namespace formats;

template <std::size_t N>
bool ReadWhole(File& input, std::int64_t at, std::array<std::uint8_t, N>& bytes) {
    return at >= 0 && input.ReadAt(bytes.data(), N, static_cast<std::uint64_t>(at)) == N;
}

}  // namespace

std::optional<Zip64End> FindZip64End(File& input, std::int64_t end_record_at) {
    Zip64End end;
    const std::int64_t locator_at = end_record_at - static_cast<std::int64_t>(zip64::kLocatorSize);
    if (!ReadWhole(input, locator_at, end.locator.bytes) || end.locator.Signature() != zip64::kLocatorSignature) {
        return std::nullopt;
    }
    end.record_at = locator_at - static_cast<std::int64_t>(zip64::kEndRecordSize);
    if (ReadWhole(input, end.record_at, end.record.bytes) && end.record.Signature() == zip64::kEndRecordSignature) {
        return end;
    }
    const std::uint64_t recorded = end.locator.EndRecordOffset();
    if (recorded > static_cast<std::uint64_t>(locator_at)) return std::nullopt;
    end.record_at = static_cast<std::int64_t>(recorded);
    if (ReadWhole(input, end.record_at, end.record.bytes) && end.record.Signature() == zip64::kEndRecordSignature) {
        return end;
    }
    return std::nullopt;
}

}  // namespace kitforge
