#pragma once
// Keeping a window alive while the program works between its own calls to the toolkit.

namespace kitforge::window {

// Lets the toolkit handle what is pending (redraws, clicks on Cancel) without waiting, at most
// every 30 ms however often it is called, so that the work itself is not slowed down.
void HandlePendingEvents();

// The same at once, whenever it was last done: before something the person must see.
void HandlePendingEventsNow();

}  // namespace kitforge::window
