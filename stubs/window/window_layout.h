#pragma once
// The measures every page of the stubs' windows shares, so that the pages line up.

namespace kitforge::window {

constexpr int kWindowWidth = 560;
constexpr int kWindowHeight = 360;
constexpr int kMargin = 16;
constexpr int kButtonWidth = 100;
constexpr int kButtonHeight = 30;
constexpr int kLineHeight = 24;
constexpr int kHeadingSize = 18;

// The top of the row of buttons at the bottom of a page `height` high starting at `top`.
constexpr int ButtonRowTop(int top, int height) { return top + height - kMargin - kButtonHeight; }

}  // namespace kitforge::window
