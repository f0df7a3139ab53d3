#pragma once
// Everything the library tells its caller goes through the callback of the call record, on the
// calling thread. A callback answering -1 asks the library to stop: the reporter remembers it
// and the operation checks Cancelled() between steps.

#include <cstdint>
#include <string_view>

#include "formats/zip_call_records.h"

namespace zipdll {

class ProgressReporter {
public:
    ProgressReporter(ZipCallbackFunction callback, void* window, void* caller) noexcept
        : callback_(callback), window_(window), caller_(caller) {}

    bool Cancelled() const noexcept { return cancelled_; }

    void FileStart(std::string_view name, std::uint64_t size);
    void Advance(std::uint64_t bytes);
    void BatchEnd();
    void FileCount(std::uint64_t count);
    void ByteTotal(std::uint64_t bytes);
    // A report with its code (0 for information). Long texts are cut to fit the record.
    void Report(std::int32_t code, std::string_view text);

private:
    void Send(ZipCallbackAction action, std::int32_t code, std::uint64_t size, std::string_view text);

    ZipCallbackFunction callback_;
    void* window_;
    void* caller_;
    bool cancelled_ = false;
};

// Thrown by the operation once the caller has asked it to stop.
struct CancelledByCaller {};

}  // namespace zipdll
