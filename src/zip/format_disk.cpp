// Formatting the disk in a removable drive before a volume is written to it. The format runs
// on a worker thread of its own while this thread lets queued messages run, so the window
// stays live; only one format runs at a time in the whole process.

#include <atomic>
#include <chrono>
#include <thread>

#include "zip/zip_master.h"

namespace kitforge {

namespace {

// The component whose format is running, if any.
std::atomic<TZipMaster*> g_formatting{nullptr};

int FormatOutcomeResult(FormatOutcome outcome) {
    switch (outcome) {
        case FormatOutcome::Formatted: return 0;
        case FormatOutcome::Cancelled: return -2;
        case FormatOutcome::Failed: break;
    }
    return -1;
}

}  // namespace

// The worker that formats: it takes the process-wide reference when it is free, and ends at
// once with -1 when another format holds it.
class FormatThread {
public:
    FormatThread(TZipMaster& zip, Volumes& volumes, std::string root, std::string label)
        : zip_(zip), volumes_(volumes), root_(std::move(root)), label_(std::move(label)) {
        TZipMaster* expected = nullptr;
        terminated_ = !g_formatting.compare_exchange_strong(expected, &zip_);
        zip_.FormatAutoStart = true;
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
        int result = -1;
        if (!terminated_) {
            try {
                result = FormatOutcomeResult(volumes_.Format(root_, label_));
            } catch (...) {
                result = -1;
            }
        }
        zip_.FormatResult.store(result);
        zip_.FormatState.store(2);
    }

    TZipMaster& zip_;
    Volumes& volumes_;
    std::string root_;
    std::string label_;
    bool terminated_ = false;
    std::thread thread_;
};

int TZipMaster::FormatDisk() {
    FormatState.store(0);
    FormatResult.store(-3);
    {
        FormatThread worker(*this, volumes_, DriveRoot, VolumeLabel);
        // There is no dialog to find here: the window is kept live until the format ends.
        while (FormatState.load() == 0) {
            host_.ProcessMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return FormatResult.load();
}

}  // namespace kitforge
