// One frame of the input as a picture, for the positioning window to show under the mark:
//   mxcode.dll -ss <seconds> -i <video> [-vhook "<module> <args>"] -vframes 1 [-upright] [-y] <picture.bmp>
// With -vhook the module lays its mark on the frame as a conversion would, before it is turned: the
// proof of what the result will look like.
// The frame is the first one shown at or after the given time, decoded from the keyframe before
// it; past the end it is the last frame. It keeps the coded frame size and orientation the probe
// reports, as the window's mask has that size too; with -upright it is turned as the probe's
// "Display:" line says, as players show it. It goes through the same no-replace rules as a result.
#pragma once

#include <optional>
#include <string>

#include "encoder/error.h"
#include "encoder/input_file.h"
#include "encoder/stop.h"

namespace wm {

struct FrameRequest {
    std::string input, output;
    bool overwrite = false;
    double seconds = 0;               // from the start of the input, finite and >= 0
    bool upright = false;             // turned as the video is shown, not as it is coded
    std::optional<std::string> hook;  // the "-vhook" value
};

struct FrameResult {
    int width = 0, height = 0;  // of the picture written
    double seconds = 0;         // when the frame written is shown, from the start of the input
};

Error writeFrame(InputFile& input, const FrameRequest& request, const StopRequest& stop, FrameResult& result);

}  // namespace wm
