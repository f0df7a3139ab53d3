#pragma once
// The texts and arrays that a call record points to while the zip library runs. They belong to
// the component, live exactly as long as the call (the record is read only during it), and are
// all released together once the library has returned.

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "formats/zip_call_records.h"

namespace kitforge {

struct AddCallBuffers {
    std::string archive_name;
    std::array<char, ZIPDLL_PASSWORD_CAPACITY> password{};
    std::string temp_dir;
    std::vector<std::string> specs;
    std::vector<ZipFileSpec> spec_elements;        // the new layout's array
    std::unique_ptr<ZipOldCallRecord> old_record;  // versions below 151
    std::unique_ptr<ZipCallRecord> new_record;     // versions 151 and above
};

}  // namespace kitforge
