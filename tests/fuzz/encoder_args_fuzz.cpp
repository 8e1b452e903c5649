// The encoder's command line and its module's arguments on any command line the runner can hand
// over: a refusal always says why, and what is taken comes from the arguments as given.
//
// Input: one command line, split as the runner splits it; its first word is the program.
#include "encoder/hook/hook_args.h"
#include "encoder/options.h"
#include "runner/command_line.h"
#include "tests/fuzz/fuzz_check.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

bool isHookSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

void checkKeyColour(const std::string& text) {
    wm::Rgb key{1, 2, 3};
    const bool ok = wm::parseKeyColour(text, key);
    const bool sixHexDigits = text.size() == 6 && std::all_of(text.begin(), text.end(),
                                                              [](char c) { return std::isxdigit(uchar(c)); });
    FUZZ_CHECK(ok == sixHexDigits);
    if (ok) {
        const long v = std::strtol(text.c_str(), nullptr, 16);
        FUZZ_CHECK(key == (wm::Rgb{std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)}));
    } else {
        FUZZ_CHECK(key == (wm::Rgb{1, 2, 3}));  // a refused colour changes nothing
    }
}

void checkHookArgs(const std::vector<std::string>& args) {
    wm::HookArgs hook;
    std::string error;
    if (!wm::parseHookArgs(args, hook, error)) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    FUZZ_CHECK(hook.mode == 1);
    // A time range taken is one the module can lay.
    FUZZ_CHECK(rules::problemOf(hook.range) == rules::RangeProblem::None);
    // The mask path is the value behind the last -f.
    const auto f = std::find(args.rbegin(), args.rend(), "-f");
    FUZZ_CHECK(f != args.rend() && f != args.rbegin() && *(f - 1) == hook.maskPath);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString line = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::vector<std::string> args = toNativeArguments(splitCommandLine(line));
    if (!args.empty()) args.erase(args.begin());

    for (const std::string& a : args)
        checkKeyColour(a);
    checkHookArgs(args);

    wm::Options options;
    std::string error;
    if (!wm::parseOptions(args, options, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    const auto given = [&](const std::string& a) {
        return std::find(args.begin(), args.end(), a) != args.end();
    };
    // One way only: an option's word may also be another option's value ("-i -y").
    if (options.hasInput) FUZZ_CHECK(given("-i") && given(options.input));
    if (options.output)
        FUZZ_CHECK(!options.output->empty() && options.output->front() != '-' && given(*options.output));
    if (options.audioRate) FUZZ_CHECK(*options.audioRate > 0 && *options.audioRate <= 384000 && given("-ar"));
    if (options.overwrite) FUZZ_CHECK(given("-y"));
    if (options.sameQuality) FUZZ_CHECK(given("-sameq"));
    if (options.upright) FUZZ_CHECK(given("-upright") && options.oneFrame);

    if (options.hook) {
        const std::vector<std::string> words = wm::splitHookCommand(*options.hook);
        FUZZ_CHECK(!words.empty());
        // The words are the value without its white space, cut where it was.
        std::string joined, bare;
        for (const std::string& w : words) {
            FUZZ_CHECK(!w.empty() && std::none_of(w.begin(), w.end(), isHookSpace));
            joined += w;
        }
        std::copy_if(options.hook->begin(), options.hook->end(), std::back_inserter(bare),
                     [](char c) { return !isHookSpace(c); });
        FUZZ_CHECK(joined == bare);
        checkHookArgs(std::vector<std::string>(words.begin() + 1, words.end()));
    }
    return 0;
}
