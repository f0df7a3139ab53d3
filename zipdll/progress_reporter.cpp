#include "progress_reporter.h"

#include <algorithm>
#include <limits>

namespace zipdll {

namespace {
std::uint32_t Clamp32(std::uint64_t value) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, std::numeric_limits<std::uint32_t>::max()));
}
}  // namespace

void ProgressReporter::Send(ZipCallbackAction action, std::int32_t code, std::uint64_t size, std::string_view text) {
    if (callback_ == nullptr) return;
    ZipCallbackRecord record{};
    record.window = window_;
    record.caller = caller_;
    record.action = action;
    record.error_code = code;
    record.size = Clamp32(size);
    // Always leave a terminating zero, so that a text never runs into whatever follows.
    std::size_t length = std::min(text.size(), sizeof(record.text) - 1);
    // A plain loop, not memcpy: an empty view holds a null pointer, and at -O3 GCC flags even
    // a guarded memcpy or std::copy_n of it as a null argument.
    for (std::size_t i = 0; i < length; ++i) record.text[i] = text[i];
    if (callback_(&record) == ZIPDLL_CALLBACK_CANCEL) cancelled_ = true;
}

void ProgressReporter::FileStart(std::string_view name, std::uint64_t size) {
    Send(ZIPDLL_ACTION_FILE_START, 0, size, name);
}

void ProgressReporter::Advance(std::uint64_t bytes) {
    // A record carries at most 4 GiB - 1; larger advances go in several steps.
    do {
        std::uint32_t step = Clamp32(bytes);
        Send(ZIPDLL_ACTION_ADVANCE, 0, step, {});
        bytes -= step;
    } while (bytes > 0);
}

void ProgressReporter::BatchEnd() { Send(ZIPDLL_ACTION_BATCH_END, 0, 0, {}); }
void ProgressReporter::FileCount(std::uint64_t count) { Send(ZIPDLL_ACTION_FILE_COUNT, 0, count, {}); }
void ProgressReporter::ByteTotal(std::uint64_t bytes) { Send(ZIPDLL_ACTION_BYTE_TOTAL, 0, bytes, {}); }
void ProgressReporter::Report(std::int32_t code, std::string_view text) { Send(ZIPDLL_ACTION_MESSAGE, code, 0, text); }

}  // namespace zipdll
