#include "encoder/hook/hook_args.h"

#include <gtest/gtest.h>

namespace {

struct HookCase {
    const char* name;
    std::vector<std::string> args;
    const char* error;
    wm::Rgb key;
};
void PrintTo(const HookCase& c, std::ostream* os) {
    *os << c.name;
}

HookCase refusedHook(const char* name, std::vector<std::string> args, const char* error) {
    return HookCase{name, std::move(args), error, {}};
}

class ParseHookArgs : public testing::TestWithParam<HookCase> {};

TEST_P(ParseHookArgs, AcceptsOrExplains) {
    const HookCase& c = GetParam();
    wm::HookArgs a;
    std::string error;
    const bool ok = wm::parseHookArgs(c.args, a, error);
    if (c.error) {
        EXPECT_FALSE(ok);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        return;
    }
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(a.maskPath, "/p/m.bmp");
    EXPECT_EQ(a.key, c.key);
}

INSTANTIATE_TEST_SUITE_P(
    Words, ParseHookArgs,
    testing::Values(HookCase{"Lower", {"-f", "/p/m.bmp", "-m", "1", "-t", "ff00ff"}, nullptr, {255, 0, 255}},
                    HookCase{
                        "Mixed", {"-t", "0aB0C1", "-f", "/p/m.bmp", "-m", "1"}, nullptr, {0x0a, 0xb0, 0xc1}},
                    HookCase{"DefaultKeyBlack", {"-f", "/p/m.bmp"}, nullptr, {0, 0, 0}},
                    refusedHook("ShortKey", {"-f", "/p/m.bmp", "-t", "fff"}, "six hexadecimal digits"),
                    refusedHook("LongKey", {"-f", "/p/m.bmp", "-t", "0000000"}, "six hexadecimal digits"),
                    refusedHook("NotHex", {"-f", "/p/m.bmp", "-t", "00gg00"}, "six hexadecimal digits"),
                    refusedHook("HashKey", {"-f", "/p/m.bmp", "-t", "#00000"}, "six hexadecimal digits"),
                    refusedHook("EmptyMaskPath", {"-f", "-m", "1", "-t", "000000"}, "'-f' needs a value"),
                    refusedHook("NoMask", {"-m", "1", "-t", "000000"}, "no mask bitmap"),
                    refusedHook("OtherMode", {"-f", "/p/m.bmp", "-m", "2"}, "mode '2' is not supported"),
                    refusedHook("Unknown", {"-f", "/p/m.bmp", "-x", "1"}, "unknown watermark option"),
                    refusedHook("MissingKey", {"-f", "/p/m.bmp", "-t"}, "'-t' needs a value")),
    [](const testing::TestParamInfo<HookCase>& i) { return std::string(i.param.name); });

}  // namespace

namespace {

// The time range words: what the window writes reads back, and every bad one is refused with a
// reason, before any frame is touched.
struct TimeArgsCase {
    const char* name;
    std::vector<std::string> words;  // after -f /p/m.bmp
    const char* error;
    rules::TimeRange range;
};
void PrintTo(const TimeArgsCase& c, std::ostream* os) {
    *os << c.name;
}

class ParseTimeArgs : public testing::TestWithParam<TimeArgsCase> {};

TEST_P(ParseTimeArgs, ReadsTheRangeOrRefuses) {
    const TimeArgsCase& c = GetParam();
    std::vector<std::string> args = {"-f", "/p/m.bmp", "-m", "1", "-t", "000000"};
    args.insert(args.end(), c.words.begin(), c.words.end());
    wm::HookArgs a;
    std::string error;
    const bool ok = wm::parseHookArgs(args, a, error);
    if (c.error) {
        EXPECT_FALSE(ok);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        return;
    }
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(a.range, c.range);
}

INSTANTIATE_TEST_SUITE_P(
    Words, ParseTimeArgs,
    testing::Values(
        TimeArgsCase{"NoneAlways", {}, nullptr, {}},
        TimeArgsCase{"TwoToSix", {"-from", "2", "-until", "6", "-fade", "1"}, nullptr, {2.0, 6.0, 1}},
        TimeArgsCase{"Fractions", {"-until", "62.125", "-fade", "0.5"}, nullptr, {std::nullopt, 62.125, 0.5}},
        TimeArgsCase{"OnlyFrom", {"-from", "540"}, nullptr, {540.0, std::nullopt, 0}},
        TimeArgsCase{"FadeAlone", {"-fade", "2"}, nullptr, {std::nullopt, std::nullopt, 2}},
        TimeArgsCase{"Letters", {"-from", "abc"}, "time 'abc' for '-from' is not a number of seconds", {}},
        TimeArgsCase{"Negative", {"-from", "-2"}, "time '-2' for '-from' is not a number", {}},
        TimeArgsCase{"Signed", {"-until", "+2"}, "is not a number of seconds", {}},
        TimeArgsCase{"Exponent", {"-until", "1e3"}, "is not a number of seconds", {}},
        TimeArgsCase{"Clock", {"-until", "1:00"}, "is not a number of seconds", {}},
        TimeArgsCase{"NotANumber", {"-fade", "nan"}, "is not a number of seconds", {}},
        TimeArgsCase{"PastAYear", {"-until", "99999999"}, "'-until' is past a year (31622400 seconds)", {}},
        TimeArgsCase{"ASecondPastAYear", {"-from", "31622401"}, "'-from' is past a year", {}},
        TimeArgsCase{"UntilZero", {"-until", "0"}, "'-until' must come after its '-from'", {}},
        TimeArgsCase{
            "UntilBeforeFrom", {"-from", "6", "-until", "2"}, "'-until' must come after its '-from'", {}},
        TimeArgsCase{
            "FadeAboveTen", {"-from", "0", "-until", "60", "-fade", "11"}, "from 0 to 10 seconds", {}},
        TimeArgsCase{"FadesLongerThanTheRange",
                     {"-from", "2", "-until", "6", "-fade", "3"},
                     "fades ('-fade') are longer than its time range",
                     {}},
        TimeArgsCase{"Twice", {"-from", "2", "-from", "3"}, "'-from' is given twice", {}},
        TimeArgsCase{"MissingValue", {"-until"}, "'-until' needs a value", {}}),
    [](const testing::TestParamInfo<TimeArgsCase>& i) { return std::string(i.param.name); });

}  // namespace
