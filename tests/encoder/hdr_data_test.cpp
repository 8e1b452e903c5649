// HDR10's static metadata in x265's words, and the note on what a re-encode cannot keep.
#include "encoder/hdr_data.h"

#include <gtest/gtest.h>

namespace {

wm::HdrData hdr10() {
    wm::HdrData h;
    h.hasMastering = true;
    AVMasteringDisplayMetadata& m = h.mastering;
    m.has_primaries = m.has_luminance = 1;
    m.display_primaries[0][0] = {34000, 50000}, m.display_primaries[0][1] = {16000, 50000};  // red
    m.display_primaries[1][0] = {13250, 50000}, m.display_primaries[1][1] = {34500, 50000};  // green
    m.display_primaries[2][0] = {7500, 50000}, m.display_primaries[2][1] = {3000, 50000};    // blue
    m.white_point[0] = {15635, 50000}, m.white_point[1] = {16450, 50000};
    m.max_luminance = {1000, 1}, m.min_luminance = {5, 1000};
    h.hasLight = true;
    h.light.MaxCLL = 1000, h.light.MaxFALL = 400;
    return h;
}

// x265 lists green, blue, red, where FFmpeg keeps red, green, blue.
TEST(HdrData, StaticMetadataInX265sWords) {
    EXPECT_EQ(wm::x265HdrParams(hdr10()),
              "master-display=G(13250,34500)B(7500,3000)R(34000,16000)WP(15635,16450)L(10000000,50):"
              "max-cll=1000,400");
    wm::HdrData lightOnly = hdr10();
    lightOnly.hasMastering = false;
    EXPECT_EQ(wm::x265HdrParams(lightOnly), "max-cll=1000,400");
    EXPECT_EQ(wm::x265HdrParams(wm::HdrData{}), "");
}

struct NoteCase {
    const char* name;
    bool dolbyVision, hdr10Plus, pq;
    const char* note;
};
void PrintTo(const NoteCase& c, std::ostream* os) {
    *os << c.name;
}

class HdrLossNote : public testing::TestWithParam<NoteCase> {};

TEST_P(HdrLossNote, NamesWhatTheResultLoses) {
    const NoteCase& c = GetParam();
    wm::HdrData h = hdr10();
    h.dolbyVision = c.dolbyVision, h.hdr10Plus = c.hdr10Plus;
    EXPECT_EQ(wm::hdrLossNote(h, c.pq), c.note);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, HdrLossNote,
    testing::Values(
        NoteCase{"Hdr10", false, false, true, ""},
        NoteCase{"DolbyVisionOverHlg", true, false, false,
                 "Note: Dolby Vision's RPU cannot be kept through a re-encode: the result is plain HLG"},
        NoteCase{"Hdr10Plus", false, true, true,
                 "Note: HDR10+'s dynamic metadata cannot be kept through a re-encode: the result is "
                 "plain HDR10"},
        NoteCase{"Both", true, true, true,
                 "Note: Dolby Vision's RPU and HDR10+'s dynamic metadata cannot be kept through a "
                 "re-encode: the result is plain HDR10"}),
    [](const testing::TestParamInfo<NoteCase>& i) { return std::string(i.param.name); });

}  // namespace
