// Formatting the disk in a removable drive before a volume is written to it. The format runs
// on a worker thread of its own while this thread lets queued messages run, so the window
// stays live; only one format runs at a time in the whole process.

#include <atomic>
#include <chrono>
#include <thread>

#include "zip/zip_master_internals.h"

namespace kitforge {

namespace {

// The component whose format is running, if any.
std::atomic<TZipMaster*> g_formatting{nullptr};

int FormatOutcomeResult(FormatOutcome outcome) {
    switch (outcome) {
        case FormatOutcome::Formatted: return format_result::kFormatted;
        case FormatOutcome::Cancelled: return format_result::kCancelled;
        case FormatOutcome::Failed: break;
    }
    return format_result::kFailed;
}

}  // namespace

// The worker that formats: it takes the process-wide reference when it is free, and ends at
// once with kFailed when another format holds it.
class FormatThread {
public:
    FormatThread(TZipMaster& zip, Volumes& volumes, std::string root, std::string label)
        : zip_(zip),
          span_(ZipMasterInternals::Span(zip)),
          volumes_(volumes),
          root_(std::move(root)),
          label_(std::move(label)) {
        TZipMaster* expected = nullptr;
        terminated_ = !g_formatting.compare_exchange_strong(expected, &zip_);
        span_.FormatAutoStart = true;
        thread_ = std::thread([this] { Execute(); });
    }
    ~FormatThread() {
        if (thread_.joinable()) thread_.join();
        if (!terminated_) g_formatting.store(nullptr);
    }
    FormatThread(const FormatThread&) = delete;
    FormatThread& operator=(const FormatThread&) = delete;

private:
    void Execute() {
        int result = format_result::kFailed;
        if (!terminated_) {
            try {
                result = FormatOutcomeResult(volumes_.Format(root_, label_));
            } catch (...) {
                result = format_result::kFailed;
            }
        }
        span_.FormatResult.store(result);
        span_.FormatState.store(format_state::kEnded);
    }

    TZipMaster& zip_;
    SpanState& span_;
    Volumes& volumes_;
    std::string root_;
    std::string label_;
    bool terminated_ = false;
    std::thread thread_;
};

int TZipMaster::FormatDisk() {
    span_.FormatState.store(format_state::kNotStarted);
    span_.FormatResult.store(format_result::kPending);
    {
        FormatThread worker(*this, volumes_, directory_.DriveRoot, directory_.VolumeLabel);
        // There is no dialog to find here: the window is kept live until the format ends.
        while (span_.FormatState.load() == format_state::kNotStarted) {
            host_.ProcessMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return span_.FormatResult.load();
}

}  // namespace kitforge
