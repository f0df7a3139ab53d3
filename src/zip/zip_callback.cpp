// The callback through which the zip library reports, and the common part of the call record.

#include <cstring>

#include "zip/zip_call_buffers.h"
#include "zip/zip_master.h"

namespace kitforge {

namespace {

std::int32_t Flag(bool value) { return value ? ZIPDLL_TRUE : ZIPDLL_FALSE; }

// The text of a callback record: up to its first zero byte, at most the whole field.
std::string RecordText(const ZipCallbackRecord& record) {
    return std::string(record.text, strnlen(record.text, sizeof(record.text)));
}

// Library reports often end in blanks or a line break; they are not part of the message.
std::string TrimmedReport(std::string text) {
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '\x7F')) text.pop_back();
    return text;
}

}  // namespace

void TZipMaster::FillAddParams(ZipCallHeader& header, const std::string& target_name, AddCallBuffers& buffers) {
    const AddOpts options = add_options_;
    buffers.archive_name = target_name;
    buffers.password.fill('\0');
    std::memcpy(buffers.password.data(), password_.data(), std::min(password_.size(), buffers.password.size() - 1));

    header.window = unattended_ ? nullptr : static_cast<void*>(&host_);
    header.caller = this;
    header.record_version = ZIPDLL_RECORD_VERSION;
    header.callback = &TZipMaster::ZipCallback;
    header.trace = Flag(trace_);
    header.password = buffers.password.data();
    header.encrypt = Flag(options.Contains(AddEncrypt));
    header.hidden_files = Flag(options.Contains(AddHiddenFiles));
    header.no_directory_entries = Flag(!options.Contains(AddSeparateDirs));
    header.verbose = Flag(verbose_ || trace_);
    header.always_true56 = ZIPDLL_TRUE;
    header.compression_level = add_comp_level_;
    header.junk_directory_names = Flag(!options.Contains(AddDirNames));
    header.recurse = options.Contains(AddRecurseDirs) ? 0xFFFF : 0;
    header.always_true80 = ZIPDLL_TRUE;
    header.force_dos = Flag(options.Contains(AddForceDOS));
    header.move = Flag(options.Contains(AddMove));
    header.update = Flag(options.Contains(AddUpdate));
    // Update already replaces what freshen would; together they mean update.
    header.freshen = Flag(options.Contains(AddFreshen) && !options.Contains(AddUpdate));
    header.zip_time = Flag(options.Contains(AddZipTime));
    header.archive_name = buffers.archive_name.data();
}

std::int32_t ZIPDLL_CALL TZipMaster::ZipCallback(ZipCallbackRecord* record) {
    if (record == nullptr || record->caller == nullptr) return ZIPDLL_CALLBACK_CONTINUE;
    TZipMaster& self = *static_cast<TZipMaster*>(record->caller);
    try {
        const auto size = static_cast<std::int64_t>(record->size);
        switch (record->action) {
            case ZIPDLL_ACTION_FILE_START:
                if (self.OnProgress) self.OnProgress(self, ProgressFileStart, ToBackslashes(RecordText(*record)), size);
                break;
            case ZIPDLL_ACTION_ADVANCE:
                if (self.OnProgress) self.OnProgress(self, ProgressAdvance, "", size);
                break;
            case ZIPDLL_ACTION_BATCH_END:
                if (self.OnProgress) self.OnProgress(self, ProgressBatchEnd, "", 0);
                break;
            case ZIPDLL_ACTION_MESSAGE:
                // Library reports reach the host only through OnMessage, never as a message box.
                if (self.OnMessage)
                    self.OnMessage(self, record->error_code, ToBackslashes(TrimmedReport(RecordText(*record))));
                break;
            case ZIPDLL_ACTION_FILE_COUNT:
                if (self.OnProgress) self.OnProgress(self, ProgressFileCount, "", size);
                break;
            case ZIPDLL_ACTION_BYTE_TOTAL:
                if (self.OnProgress) self.OnProgress(self, ProgressByteTotal, "", size);
                break;
            default: break;
        }
        // Read before the window messages run: a cancel set while they run counts at the next
        // callback.
        std::int32_t result = self.operation_.CancelRequested ? ZIPDLL_CALLBACK_CANCEL : ZIPDLL_CALLBACK_CONTINUE;
        self.host_.ProcessMessages();
        return result;
    } catch (...) {
        // No exception may cross the library's C boundary: the first one is kept, the library is
        // asked to stop, and Add raises it again once the library has returned.
        if (!self.library_.CallbackFailure) self.library_.CallbackFailure = std::current_exception();
        return ZIPDLL_CALLBACK_CANCEL;
    }
}

}  // namespace kitforge
