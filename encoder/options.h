// The encoder's command line, read in the option syntax of the FFmpeg generation the windows speak:
//   mxcode.dll -i <video> [-sameq] [-vhook "<module> <module args>"] [-ar <Hz>] [-share] [-nocheck]
//   [-nosmart] [-y] <result> mxcode.dll [-ss <seconds>] -i <video> -vframes 1 [-upright] [-y] <picture.bmp>
//   mxcode.dll -i <video> [-i <video>...]       describes each video (no output) mxcode.dll -i <video> -check
//   <result>
// Options may come in any order; the one argument that is not an option names the result.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace wm {

struct Options {
    std::string input;  // empty when "-i" was not given; the first of `inputs`
    bool hasInput = false;
    std::vector<std::string> inputs;    // every "-i", in order; more than one only to describe them
    std::optional<std::string> output;  // absent for a probe run
    bool sameQuality = false;           // "-sameq"; quality is always kept, the flag is accepted
    bool overwrite = false;             // "-y"
    std::optional<std::string> hook;    // "-vhook" value: module path and its arguments, one string
    std::optional<int> audioRate;       // "-ar" in Hz
    bool oneFrame = false;              // "-vframes 1": the result is one frame as a BMP picture
    std::optional<double> frameAt;      // "-ss": seconds from the start of the input, finite, >= 0
    bool upright = false;               // "-upright": the frame turned as the video is shown
    bool share = false;                 // "-share": an MP4 with H.264 and AAC that plays anywhere
    bool check = false;                 // "-check": the named file is a result to check, not to write
    bool noCheck = false;               // "-nocheck": the result is not read back once written
    bool noSmart = false;               // "-nosmart": a time-limited mark still codes the whole video again
};

// Parses argv without the program name. On failure returns false and sets `error` to a console line.
bool parseOptions(const std::vector<std::string>& args, Options& out, std::string& error);

// Splits a "-vhook" value at white space: the first word is the module, the rest its arguments.
// The windows hand paths without white space, quotes or backslashes, so no quoting is read here.
std::vector<std::string> splitHookCommand(const std::string& value);

}  // namespace wm
