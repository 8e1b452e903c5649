#include "encoder/options.h"

#include <charconv>
#include <cmath>

namespace wm {
namespace {

bool parseRate(const std::string& text, int& rate) {
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, rate);
    return ec == std::errc() && p == end && rate > 0 && rate <= 384000;
}

bool parseSeconds(const std::string& text, double& seconds) {
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, seconds);
    return ec == std::errc() && p == end && std::isfinite(seconds) && seconds >= 0;
}

}  // namespace

bool parseOptions(const std::vector<std::string>& args, Options& out, std::string& error) {
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size()) {
                error = "Missing argument for option '" + a.substr(1) + "'.";
                return false;
            }
            v = args[++i];
            return true;
        };
        std::string v;
        if (a == "-i") {
            if (!value(v)) return false;
            if (!o.hasInput) o.input = v;
            o.inputs.push_back(v);
            o.hasInput = true;
        } else if (a == "-sameq") {
            o.sameQuality = true;
        } else if (a == "-y") {
            o.overwrite = true;
        } else if (a == "-vhook") {
            if (!value(v)) return false;
            if (splitHookCommand(v).empty()) {
                error = "Option 'vhook' needs a module path.";
                return false;
            }
            o.hook = v;
        } else if (a == "-ar") {
            if (!value(v)) return false;
            int rate = 0;
            if (!parseRate(v, rate)) {
                error = "Invalid audio sampling rate '" + v + "' for option 'ar'.";
                return false;
            }
            o.audioRate = rate;
        } else if (a == "-ss") {
            if (!value(v)) return false;
            double seconds = 0;
            if (!parseSeconds(v, seconds)) {
                error = "Invalid time '" + v + "' for option 'ss'; give seconds from the start, e.g. 3.5.";
                return false;
            }
            o.frameAt = seconds;
        } else if (a == "-upright") {
            o.upright = true;
        } else if (a == "-share") {
            o.share = true;
        } else if (a == "-check") {
            o.check = true;
        } else if (a == "-nocheck") {
            o.noCheck = true;
        } else if (a == "-nosmart") {
            o.noSmart = true;
        } else if (a == "-vframes") {
            if (!value(v)) return false;
            int frames = 0;
            const char* end = v.data() + v.size();
            if (auto [p, ec] = std::from_chars(v.data(), end, frames); ec != std::errc() || p != end) {
                error = "Invalid frame count '" + v + "' for option 'vframes'.";
                return false;
            }
            if (frames != 1) {
                error = "Only one frame can be written: use -vframes 1, not " + v + ".";
                return false;
            }
            o.oneFrame = true;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "Unrecognized option '" + a.substr(1) + "'.";
            return false;
        } else if (a == "-") {
            error = "Writing the result to standard output is not supported.";
            return false;
        } else if (a.empty()) {
            error = "The output file name is empty.";
            return false;
        } else {
            if (o.output) {
                error = "Only one output file is supported ('" + a + "' is a second one).";
                return false;
            }
            o.output = a;
        }
    }
    // Several inputs are only described; a result is made of one.
    if (o.inputs.size() > 1 && o.output) {
        error = "Only one input file is supported ('" + o.inputs[1] + "' is a second one).";
        return false;
    }
    // A conversion always runs from the start, and a single frame is taken as it is.
    if (o.frameAt && !o.oneFrame) {
        error = "Option 'ss' is only supported with -vframes 1.";
        return false;
    }
    // A conversion keeps the coded frames and their display matrix; only a picture is turned.
    if (o.upright && !o.oneFrame) {
        error = "Option 'upright' is only supported with -vframes 1.";
        return false;
    }
    // A frame may carry the mark (the proof of a result); it has no sound.
    if (o.oneFrame && o.audioRate) {
        error = "Option 'ar' does not apply to -vframes 1.";
        return false;
    }
    if (o.share && o.oneFrame) {
        error = "Option 'share' does not apply to -vframes 1.";
        return false;
    }
    if (o.noSmart && (o.oneFrame || o.check)) {
        error = "Option 'nosmart' applies to a conversion only.";
        return false;
    }
    if (o.noCheck && o.oneFrame) {
        error = "Option 'nocheck' does not apply to -vframes 1.";
        return false;
    }
    if (o.check && (o.hook || o.audioRate || o.oneFrame || o.overwrite || o.share || o.noCheck)) {
        error = "Option 'check' reads a result and writes nothing: give only -i <source> -check <result>.";
        return false;
    }
    out = std::move(o);
    return true;
}

std::vector<std::string> splitHookCommand(const std::string& value) {
    std::vector<std::string> words;
    std::string word;
    for (char c : value) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

}  // namespace wm
