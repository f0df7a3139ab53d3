#include "model/build_script.h"

namespace kitforge {

BuildScript NewBuildScript() {
    BuildScript script;
    script.Title = kNewProjectTitle;
    script.Prompt = kNewProjectPrompt;
    return script;
}

}  // namespace kitforge
