// What a result is, as the windows, the job file and the command line name it.
#pragma once

#include <string_view>

// The source's container, codecs and quality, or an MP4 with H.264 and AAC to share.
enum class OutputChoice { SameAsSource, Mp4ToShare };

// The choice's word in the user's settings and in job files; a word that is neither reads as
// SameAsSource.
constexpr std::string_view outputChoiceWord(OutputChoice choice) {
    return choice == OutputChoice::Mp4ToShare ? "share" : "same";
}
constexpr OutputChoice outputChoiceOfWord(std::string_view word) {
    return word == "share" ? OutputChoice::Mp4ToShare : OutputChoice::SameAsSource;
}
