#pragma once
// What one call of ZipDllExec asks for, decoded from the call record into plain values. The
// record is read here and nowhere else; it belongs to the caller and is not touched after the
// call.

#include <stdexcept>
#include <string>
#include <vector>

#include "formats/zip_call_records.h"

namespace zipdll {

struct AddRequest {
    void* window = nullptr;
    void* caller = nullptr;
    ZipCallbackFunction callback = nullptr;

    std::string archive;
    std::vector<std::string> specs;
    std::string password;  // at most 80 characters
    std::string temp_dir;  // empty: beside the archive

    int level = 9;  // 0 stores; 1 to 9 deflate
    bool trace = false;
    bool verbose = false;
    bool encrypt = false;
    bool hidden_files = false;
    bool directory_entries = false;
    bool keep_directory_names = false;
    bool recurse = false;
    bool force_dos = false;
    bool move = false;
    bool update = false;
    bool freshen = false;
    bool zip_time = false;
};

// A call record that cannot be used; the text says why.
class BadCallRecord : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the callback fields only, so that even a bad record's problem can be reported.
AddRequest DecodeCallHeader(const ZipCallHeader& header);
// Reads the whole record of the current layout. Throws BadCallRecord.
AddRequest DecodeCallRecord(const ZipCallRecord& record);

}  // namespace zipdll
