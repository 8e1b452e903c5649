// The two frames of the positioning window's activity animation: a round
// forward-arrow button, 36 x 36 pixels, bright orange (frame 0) and dimmed
// (frame 1). Drawn here, so the program ships no picture files for them.
#pragma once

#include <QImage>

inline constexpr int kActivityFrameSize = 36;

// Frame 0 or 1; the corners outside the button are transparent.
QImage activityFrame(int index);
