// splitCommandLine / quoteArg: the Windows rules, as tables.
#include "runner/command_line.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

// Each case has a short ASCII label: CTest names the cases after it.
struct SplitCase {
    const char* label;
    const char16_t* line;
    std::vector<const char16_t*> args;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.label;
}

class RunnerCommandLineSplit : public testing::TestWithParam<SplitCase> {};

TEST_P(RunnerCommandLineSplit, GivesTheArguments) {
    const SplitCase& c = GetParam();
    QStringList expected;
    for (const char16_t* a : c.args)
        expected << QString::fromUtf16(a);
    EXPECT_EQ(splitCommandLine(QString::fromUtf16(c.line)), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RunnerCommandLineSplit,
    testing::Values(SplitCase{"empty", u"", {}}, SplitCase{"blank", u"   \t ", {}},
                    SplitCase{"word", u"abc", {u"abc"}}, SplitCase{"spaces", u"  a   b  ", {u"a", u"b"}},
                    SplitCase{"whitespace_kinds", u"a\tb\nc\rd", {u"a", u"b", u"c", u"d"}},
                    SplitCase{"quoted_group", u"\"a b\" c", {u"a b", u"c"}},
                    SplitCase{"quotes_inside", u"a\"b c\"d", {u"ab cd"}},
                    SplitCase{"quote_pairs", u"a\"b\"c", {u"abc"}}, SplitCase{"empty_quotes", u"\"\"", {u""}},
                    SplitCase{"empty_between", u"a \"\" b", {u"a", u"", u"b"}},
                    SplitCase{"unterminated", u"\"unterminated arg", {u"unterminated arg"}},
                    // Backslashes: literal unless before a double quote.
                    SplitCase{"backslash", u"a\\b", {u"a\\b"}},
                    SplitCase{"two_backslashes", u"a\\\\b", {u"a\\\\b"}},
                    SplitCase{"trailing_backslash", u"a\\", {u"a\\"}},
                    SplitCase{"one_bs_quote", u"a\\\"b", {u"a\"b"}},          // 1 -> 0 and a literal quote
                    SplitCase{"two_bs_quote", u"a\\\\\"b c\"", {u"a\\b c"}},  // 2 -> 1 and a grouping quote
                    SplitCase{"three_bs_quote", u"a\\\\\\\"b", {u"a\\\"b"}},  // 3 -> 1 and a literal quote
                    SplitCase{"quoted_trailing_bs", u"\"a\\\\\" b", {u"a\\", u"b"}},
                    SplitCase{"windows_folder_bs", u"\"C:\\dir\\\" x", {u"C:\\dir\" x"}},
                    // The encoder's command lines.
                    SplitCase{"probe_line",
                              u"\"/opt/wm/mxcode.dll\" -i \"/v/clip.avi\"",
                              {u"/opt/wm/mxcode.dll", u"-i", u"/v/clip.avi"}},
                    SplitCase{"conversion_line",
                              u"\"/opt/wm dir/mxcode.dll\" -i \"/v/my clip.avi\" -y out.avi",
                              {u"/opt/wm dir/mxcode.dll", u"-i", u"/v/my clip.avi", u"-y", u"out.avi"}},
                    SplitCase{"non_ascii", u"\"vidéo été.avi\" ñ 日本", {u"vidéo été.avi", u"ñ", u"日本"}},
                    SplitCase{"q", u"q", {u"q"}}));

struct QuoteCase {
    const char* label;
    const char16_t* text;
    const char16_t* quoted;
};

void PrintTo(const QuoteCase& c, std::ostream* os) {
    *os << c.label;
}

class RunnerCommandLineQuote : public testing::TestWithParam<QuoteCase> {};

TEST_P(RunnerCommandLineQuote, EnclosesAndEscapes) {
    EXPECT_EQ(quoteArg(QString::fromUtf16(GetParam().text)), QString::fromUtf16(GetParam().quoted));
}

INSTANTIATE_TEST_SUITE_P(Table, RunnerCommandLineQuote,
                         testing::Values(
                             // Without '"' or '\': exactly '"' + text + '"'.
                             QuoteCase{"word", u"abc", u"\"abc\""}, QuoteCase{"empty", u"", u"\"\""},
                             QuoteCase{"spaces", u"/tmp/my clip.avi", u"\"/tmp/my clip.avi\""},
                             QuoteCase{"non_ascii", u"vidéo", u"\"vidéo\""},
                             QuoteCase{"quote", u"a\"b", u"\"a\\\"b\""},
                             QuoteCase{"trailing_bs", u"a\\", u"\"a\\\\\""},
                             QuoteCase{"two_trailing_bs", u"a\\\\", u"\"a\\\\\\\\\""},
                             QuoteCase{"inner_bs", u"a\\b", u"\"a\\b\""},
                             QuoteCase{"bs_quote", u"a\\\"b", u"\"a\\\\\\\"b\""}));

struct RoundTripCase {
    const char* label;
    const char16_t* text;
};

void PrintTo(const RoundTripCase& c, std::ostream* os) {
    *os << c.label;
}

class RunnerCommandLineRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(RunnerCommandLineRoundTrip, QuotedTextIsExactlyOneArgument) {
    const QString text = QString::fromUtf16(GetParam().text);
    EXPECT_EQ(splitCommandLine(quoteArg(text)), QStringList{text});
    // Between other arguments it can add none and swallow none.
    const QString line = "prog " + quoteArg(text) + " -y " + quoteArg(text + "2") + " last";
    EXPECT_EQ(splitCommandLine(line), (QStringList{"prog", text, "-y", text + "2", "last"}));
}

INSTANTIATE_TEST_SUITE_P(
    Nasty, RunnerCommandLineRoundTrip,
    testing::Values(RoundTripCase{"injection", u"clip\" -f x \"y.avi"},
                    RoundTripCase{"trailing_bs", u"dir\\"}, RoundTripCase{"three_trailing_bs", u"dir\\\\\\"},
                    RoundTripCase{"bs", u"\\"}, RoundTripCase{"two_bs", u"\\\\"},
                    RoundTripCase{"quote", u"\""}, RoundTripCase{"two_quotes", u"\"\""},
                    RoundTripCase{"bs_quote", u"\\\""}, RoundTripCase{"two_bs_quote", u"a\\\\\"b"},
                    RoundTripCase{"space", u" "}, RoundTripCase{"empty", u""},
                    RoundTripCase{"outer_spaces", u"  leading and trailing  "},
                    RoundTripCase{"tab", u"tab\there"}, RoundTripCase{"newline", u"new\nline"},
                    RoundTripCase{"accents", u"vidéo à l'été.avi"},
                    RoundTripCase{"cjk", u"日本語 ファイル.mp4"}, RoundTripCase{"emoji", u"🎬 clip.mkv"},
                    RoundTripCase{"option", u"-i"}, RoundTripCase{"windows_folder", u"C:\\Program Files\\"},
                    RoundTripCase{"escaped_injection", u"\"quoted\\\" -y /etc/passwd \""}));

TEST(RunnerCommandLine, NativeArgumentsAreUtf8) {
    const auto native = toNativeArguments({QString::fromUtf16(u"été"), "a b"});
    ASSERT_EQ(native.size(), 2u);
    EXPECT_EQ(native[0], "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(native[1], "a b");
}

}  // namespace
