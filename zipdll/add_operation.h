#pragma once
// One Add: decides what goes into the archive, writes the new archive beside the old one and
// puts it in place only when it is complete, so that a failure, a cancel or a full disk leaves
// the previous archive exactly as it was. Returns the number of entries added.

#include <cstdint>

#include "add_request.h"
#include "progress_reporter.h"

namespace zipdll {

std::int32_t RunAdd(const AddRequest& request, ProgressReporter& reporter);

}  // namespace zipdll
