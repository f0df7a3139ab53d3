// Windows: folders have access lists, not an owner and mode bits; the check is not made there.
#include "setup/folder_ownership.h"

namespace kitforge::setup {

std::string FolderOthersCanChange(const std::string&) { return {}; }

}  // namespace kitforge::setup
