#include "window/event_pump.h"

#include <FL/Fl.H>

#include <chrono>

namespace kitforge::window {

namespace {

constexpr auto kPumpInterval = std::chrono::milliseconds(30);

std::chrono::steady_clock::time_point last_pump;

}  // namespace

void HandlePendingEvents() {
    if (std::chrono::steady_clock::now() - last_pump < kPumpInterval) return;
    HandlePendingEventsNow();
}

void HandlePendingEventsNow() {
    Fl::check();
    last_pump = std::chrono::steady_clock::now();
}

}  // namespace kitforge::window
