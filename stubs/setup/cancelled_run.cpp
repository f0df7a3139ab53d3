#include "setup/cancelled_run.h"

#include "setup/installed_item_remover.h"
#include "setup/setup_errors.h"

namespace kitforge::setup {

int TakeBackCancelledRun(const std::vector<formats::InstallItem>& items, const InstallSettings& settings,
                         SetupFrontEnd& front) {
    const RemovalOutcome outcome =
        RemoveRecordedItems(items, RemovalAnchors(settings.environment, settings.folders.program, items));
    if (outcome.Complete() && outcome.kept.empty()) {
        front.Complain("the installation was cancelled; what it had written was removed");
        return kCancelled;
    }
    front.Complain("the installation was cancelled; what it had written was removed except:");
    for (const auto& failure : outcome.failures) front.Complain(failure);
    for (const auto& path : outcome.kept) front.Complain(PrintablePath(path) + " was changed while it ran; it stays");
    return kCancelled;
}

}  // namespace kitforge::setup
