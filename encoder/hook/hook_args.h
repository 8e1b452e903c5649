// The watermark module's own arguments:
//   -f <mask.bmp> -m <mode> -t <RRGGBB> [-a <opacity>] [-from <s>] [-until <s>] [-fade <s>]
// Times are seconds from the start of the video as plain decimals ("2", "62.5"); with -from or
// -until the mark shows only in that range, faded in and out over -fade seconds
// (rules/time_weight.h).
#pragma once

#include "rules/mark_rules.h"
#include "rules/time_weight.h"

#include <cstdint>
#include <string>
#include <vector>

namespace wm {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

using rules::kFullOpacity;
using rules::kMinOpacity;

struct HookArgs {
    std::string maskPath;
    int mode = 1;                // 1: keyed overlay, the only mode there is
    Rgb key{};                   // mask pixels of this colour (within the tolerance) leave the video visible
    int opacity = kFullOpacity;  // per cent, scales every mask pixel's alpha
    rules::TimeRange range;      // when the mark shows; always, unless limited()
};

// Parses "-t" text: exactly six hexadecimal digits RRGGBB, either case.
bool parseKeyColour(const std::string& text, Rgb& out);
// Parses a time: digits with at most one decimal point, no sign, exponent or space.
bool parseSeconds(const std::string& text, double& out);
bool parseHookArgs(const std::vector<std::string>& args, HookArgs& out, std::string& error);

}  // namespace wm
