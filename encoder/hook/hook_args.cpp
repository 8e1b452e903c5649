#include "encoder/hook/hook_args.h"

#include <charconv>

namespace wm {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isOption(const std::string& s) {
    return s == "-f" || s == "-m" || s == "-t" || s == "-a" || s == "-from" || s == "-until" || s == "-fade";
}

std::string rangeError(rules::RangeProblem p) {
    switch (p) {
        case rules::RangeProblem::None:
            break;
        case rules::RangeProblem::NotATime:
        case rules::RangeProblem::PastTheEnd:
            return "a watermark time is not a time in the video";
        case rules::RangeProblem::UntilNotAfterFrom:
            return "the watermark's '-until' must come after its '-from'";
        case rules::RangeProblem::FadeOutOfBounds:
            return "the watermark's '-fade' must be from 0 to " + std::to_string(int(rules::kMaxFade)) +
                   " seconds";
        case rules::RangeProblem::FadesTooLong:
            return "the watermark's fades ('-fade') are longer than its time range";
    }
    return {};
}

// Plain decimal digits only: no sign, no space, no fraction, no per cent sign.
bool parseOpacity(const std::string& text, int& out) {
    if (text.empty() || text.size() > 3) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < kMinOpacity || v > kFullOpacity) return false;
    out = v;
    return true;
}

}  // namespace

bool parseKeyColour(const std::string& text, Rgb& out) {
    if (text.size() != 6) return false;
    int v[6];
    for (int i = 0; i < 6; ++i)
        if ((v[i] = hexDigit(text[size_t(i)])) < 0) return false;
    out = Rgb{uint8_t(v[0] * 16 + v[1]), uint8_t(v[2] * 16 + v[3]), uint8_t(v[4] * 16 + v[5])};
    return true;
}

namespace {

// Digits and at most one point, the point at neither end.
bool secondsSyntax(const std::string& text) {
    if (text.empty() || text.size() > 32 || text.front() == '.' || text.back() == '.') return false;
    return text.find_first_not_of("0123456789.") == std::string::npos && text.find('.') == text.rfind('.');
}

}  // namespace

bool parseSeconds(const std::string& text, double& out) {
    if (!secondsSyntax(text)) return false;
    double v = 0;
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, v, std::chars_format::fixed);
    if (ec != std::errc() || p != end || v > rules::kLatestSeconds) return false;
    out = v;
    return true;
}

bool parseHookArgs(const std::vector<std::string>& args, HookArgs& out, std::string& error) {
    HookArgs a;
    bool haveMask = false, haveOpacity = false;
    std::vector<std::string> timesGiven;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& opt = args[i];
        if (!isOption(opt)) {
            error = "unknown watermark option '" + opt + "'";
            return false;
        }
        // An empty path leaves the next option where the value should be.
        if (i + 1 >= args.size() || isOption(args[i + 1])) {
            error = "watermark option '" + opt + "' needs a value";
            return false;
        }
        const std::string& v = args[++i];
        if (opt == "-f") {
            a.maskPath = v;
            haveMask = true;
        } else if (opt == "-m") {
            if (v != "1") {
                error = "watermark mode '" + v + "' is not supported (only mode 1, keyed overlay)";
                return false;
            }
            a.mode = 1;
        } else if (opt == "-a") {
            if (haveOpacity) {
                error = "watermark option '-a' is given twice";
                return false;
            }
            if (!parseOpacity(v, a.opacity)) {
                error = "opacity '" + v + "' is not a whole number of per cent from " +
                        std::to_string(kMinOpacity) + " to " + std::to_string(kFullOpacity);
                return false;
            }
            haveOpacity = true;
        } else if (opt == "-from" || opt == "-until" || opt == "-fade") {
            for (const std::string& given : timesGiven)
                if (given == opt) {
                    error = "watermark option '" + opt + "' is given twice";
                    return false;
                }
            timesGiven.push_back(opt);
            double seconds = 0;
            if (!parseSeconds(v, seconds)) {
                error = "watermark time '" + v + "' for '" + opt +
                        (secondsSyntax(v) ? "' is past a year (" +
                                                std::to_string(long(rules::kLatestSeconds)) + " seconds)"
                                          : "' is not a number of seconds (digits and one point, e.g. 2.5)");
                return false;
            }
            if (opt == "-from")
                a.range.from = seconds;
            else if (opt == "-until")
                a.range.until = seconds;
            else
                a.range.fade = seconds;
        } else if (!parseKeyColour(v, a.key)) {
            error = "key colour '" + v + "' is not six hexadecimal digits RRGGBB";
            return false;
        }
    }
    if (!haveMask) {
        error = "no mask bitmap given (-f)";
        return false;
    }
    if (const rules::RangeProblem p = rules::problemOf(a.range); p != rules::RangeProblem::None) {
        error = rangeError(p);
        return false;
    }
    out = std::move(a);
    return true;
}

}  // namespace wm
