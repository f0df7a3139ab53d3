// The library's two exports. No exception and no C++ type crosses this boundary: a call record
// that cannot be used is reported through its callback (when it has one) and answered with 0.

#include <new>

#include "add_operation.h"
#include "add_request.h"
#include "progress_reporter.h"
#include "report_codes.h"
#include "formats/zip_call_records.h"

namespace {
constexpr std::int32_t kLibraryVersion = 152;
}  // namespace

// Exported by their plain names: the Windows build links with --kill-at, which drops the
// "@4" that __stdcall would add.
#ifdef _WIN32
#define ZIPDLL_EXPORT __declspec(dllexport)
#else
#define ZIPDLL_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

ZIPDLL_EXPORT std::int32_t ZIPDLL_CALL GetZipDllVersion(void) { return kLibraryVersion; }

ZIPDLL_EXPORT std::int32_t ZIPDLL_CALL ZipDllExec(void* record_address) {
    if (record_address == nullptr) return 0;
    const auto& record = *static_cast<const ZipCallRecord*>(record_address);
    zipdll::AddRequest header = zipdll::DecodeCallHeader(record.header);
    zipdll::ProgressReporter reporter(header.callback, header.window, header.caller);
    try {
        zipdll::AddRequest request = zipdll::DecodeCallRecord(record);
        return zipdll::RunAdd(request, reporter);
    } catch (const zipdll::BadCallRecord& e) {
        reporter.Report(zipdll::kBadCall, e.what());
    } catch (...) {
        reporter.Report(zipdll::kCannotWrite, "The zip library failed unexpectedly; nothing was written");
    }
    reporter.BatchEnd();
    return 0;
}

}  // extern "C"
