// The parts of the safe writers that are the same on every system. The system calls are in
// safe_file_writer.cpp and its Windows counterpart safe_file_writer_win32.cpp.

#include <functional>
#include <string_view>

#include "platform/errors.h"
#include "platform/safe_file_writer.h"

namespace kitforge {

// A write fails on the temporary file, which the user never named: the error names the output.
void ReplacementFile::Write(const std::function<void(File&)>& write) {
    try {
        write(file_);
    } catch (const InOutError& e) {
        if (e.Path() != temporary_) throw;
        throw InOutError("write", path_, e.Code(), e.Code() == 0 ? std::string_view(e.what()) : std::string_view());
    }
}

}  // namespace kitforge
