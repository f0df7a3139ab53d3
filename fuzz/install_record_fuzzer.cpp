// An uninstaller reads its own install record, and an installer reads the record of the
// uninstaller it finds in the install folder: any bytes must give either a record whose every
// path is absolute and tidy, or a reason. The input is tried as it is and with a valid check
// appended, so that the structure behind the check is explored too.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/install_record.h"

namespace {

void Decode(std::span<const std::uint8_t> bytes) {
    using namespace kitforge::formats;
    std::string reason;
    const auto record = DecodeInstallRecord(bytes, &reason);
    if (!record) {
        if (reason.empty()) std::abort();
        return;
    }
    if (!IsRecordablePath(record->program_folder)) std::abort();
    for (const auto& item : record->items) {
        if (!IsRecordablePath(item.path)) std::abort();
    }
    // What was read writes back to the same bytes.
    const auto again = EncodeInstallRecord(*record);
    if (!again || !std::equal(again->begin(), again->end(), bytes.begin(), bytes.end())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Decode({data, size});
    std::vector<std::uint8_t> checked(data, data + size);
    kitforge::formats::AppendU64LE(checked, kitforge::formats::install_record_detail::RecordCheck(checked));
    Decode(checked);
    return 0;
}
