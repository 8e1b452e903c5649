// The watermark module's own arguments: -f <mask.bmp> -m <mode> -t <RRGGBB> [-a <opacity>].
#pragma once

#include "rules/mark_rules.h"

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
};

// Parses "-t" text: exactly six hexadecimal digits RRGGBB, either case.
bool parseKeyColour(const std::string& text, Rgb& out);
bool parseHookArgs(const std::vector<std::string>& args, HookArgs& out, std::string& error);

}  // namespace wm
