#include "platform/ui_host.h"

namespace kitforge {

BusyCursor::BusyCursor(UiHost& host) : host_(host) {
    if (host_.busy_depth_++ == 0) host_.SetBusy(true);
}

BusyCursor::~BusyCursor() {
    if (--host_.busy_depth_ == 0) host_.SetBusy(false);
}

}  // namespace kitforge
