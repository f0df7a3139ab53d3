#pragma once
// Windows only. The stubs are window programs, so that starting one from the Explorer opens no
// console. Started from a console, they take it over again for their output and the terminal
// dialogue.

namespace kitforge::window {

// Attaches to the console of the process that started this one, when it has one, and points
// every standard stream that has no handle of its own at it. Streams already redirected to a
// file or pipe stay as they are, so scripts still read the output and answer through standard
// input. Call first thing, before anything is read or written. Gives whether a console was
// attached.
bool AttachParentConsole();

}  // namespace kitforge::window
