// The stretch a time-limited mark makes the encoder code again, and the pieces that join it to the
// copied packets: decoding times, NAL lengths and parameter set ids.
#include "encoder/smart_plan.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using wm::SourcePacket;

// `groups` groups of 10 frames (a tick each, the key frame's pts at 10 g), in decoding order
// I0 P3 B1 B2 P6 B4 B5 P9 B7 B8, as an encoder with two B-frames writes them.
std::vector<SourcePacket> closedGroups(int groups, int64_t start = 0) {
    std::vector<SourcePacket> packets;
    const int order[] = {0, 3, 1, 2, 6, 4, 5, 9, 7, 8};
    for (int g = 0; g < groups; ++g)
        for (int i : order)
            packets.push_back({start + 10 * g + i, i == 0});
    return packets;
}

struct PlanCase {
    const char* name;
    std::optional<double> from, until;
    double fade;
    size_t first, end;
    int64_t fromPts, untilPts;
};

class SmartPlanRanges : public testing::TestWithParam<PlanCase> {};

// 5 groups of 1 s at 10 frames a second.
TEST_P(SmartPlanRanges, CodesTheGroupsThatHoldAMarkedFrame) {
    const PlanCase& c = GetParam();
    std::string why;
    const auto plan = wm::planStretch(closedGroups(5), {0, 0.1}, {c.from, c.until, c.fade}, why);
    ASSERT_TRUE(plan) << why;
    EXPECT_EQ(plan->first, c.first);
    EXPECT_EQ(plan->end, c.end);
    if (!plan->copiesAll()) {
        EXPECT_EQ(plan->fromPts, c.fromPts);
        EXPECT_EQ(plan->untilPts, c.untilPts);
    }
}

constexpr int64_t kToTheEnd = std::numeric_limits<int64_t>::max();

INSTANTIATE_TEST_SUITE_P(Ranges, SmartPlanRanges,
                         testing::Values(PlanCase{"OneGroup", 2.0, 3.0, 0, 20, 30, 20, 30},
                                         PlanCase{"AcrossAKeyFrame", 2.5, 3.5, 0, 20, 40, 20, 40},
                                         PlanCase{"FadesInside", 1.0, 3.0, 0.5, 10, 30, 10, 30},
                                         PlanCase{"Intro", std::nullopt, 1.0, 0, 0, 10, 0, 10},
                                         PlanCase{"Outro", 4.2, std::nullopt, 0, 40, 50, 40, kToTheEnd},
                                         PlanCase{"EndsOnAKeyFrame", 0.0, 2.0, 0, 0, 20, 0, 20},
                                         PlanCase{"StartsOnTheLastFrame", 1.9, 2.0, 0, 10, 20, 10, 20},
                                         PlanCase{"AfterTheEnd", 6.0, 7.0, 0, 50, 50, 0, 0}),
                         [](const testing::TestParamInfo<PlanCase>& i) { return i.param.name; });

TEST(SmartPlan, AMarkOverEveryGroupCopiesNothing) {
    std::string why;
    const auto plan = wm::planStretch(closedGroups(5), {0, 0.1}, {0.5, 4.5, 0}, why);
    ASSERT_TRUE(plan) << why;
    EXPECT_FALSE(wm::copiesSomething(*plan, 50));
    const auto intro = wm::planStretch(closedGroups(5), {0, 0.1}, {std::nullopt, 1.0, 0}, why);
    ASSERT_TRUE(intro);
    EXPECT_TRUE(wm::copiesSomething(*intro, 50));
}

// Times count from the stream's start, as the module's do.
TEST(SmartPlan, TimesCountFromTheStreamsStart) {
    std::string why;
    const auto plan = wm::planStretch(closedGroups(5, 70), {70, 0.1}, {2.0, 3.0, 0}, why);
    ASSERT_TRUE(plan) << why;
    EXPECT_EQ(plan->first, 20u);
    EXPECT_EQ(plan->fromPts, 90);
    EXPECT_EQ(plan->untilPts, 100);
}

TEST(SmartPlan, RefusesSourcesThatCannotBeJoined) {
    struct Case {
        const char* name;
        std::vector<SourcePacket> packets;
        const char* why;
    };
    std::vector<SourcePacket> open = closedGroups(3);
    open[11].pts = 8;  // a frame of the second group shown before its key frame
    std::vector<SourcePacket> late = closedGroups(3);
    late.erase(late.begin());
    std::vector<SourcePacket> overlapping = closedGroups(3);
    overlapping[3].pts = 12;  // the first group shows a frame after the second's key frame
    const Case cases[] = {
        {"open groups", open, "its groups of pictures refer across their key frames"},
        {"no key frame first", late, "its video does not start with a key frame"},
        {"overlapping", overlapping, "its groups of pictures overlap in time"},
        {"empty", {}, "its video holds no packets"},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_FALSE(wm::planStretch(c.packets, {0, 0.1}, {1.0, 2.0, 0}, why)) << c.name;
        EXPECT_EQ(why, c.why) << c.name;
    }
}

TEST(SmartPlan, SaysWhatIsCodedAgain) {
    EXPECT_EQ(wm::reencodedText(0.0, 12.0, 180.0), "re-encoded 0:00\u20130:12 of 3:00, the rest copied");
    EXPECT_EQ(wm::reencodedText(90.0, std::nullopt, 179.96),
              "re-encoded 1:30\u20133:00 of 3:00, the rest copied");
    EXPECT_EQ(wm::reencodedText(3600.0, 3610.0, 3725.4),
              "re-encoded 1:00:00\u20131:00:10 of 1:02:05, the rest copied");
    EXPECT_EQ(wm::reencodedText(std::nullopt, std::nullopt, 65), "nothing re-encoded of 1:05, all copied");
}

TEST(SmartPlan, DecodingTimesStayRisingAndNoLaterThanTheFrame) {
    struct Case {
        std::optional<int64_t> previous;
        int64_t source, pts;
        std::optional<int64_t> dts;
    };
    const Case cases[] = {
        {std::nullopt, -2, 0, -2},  // the file's first packet keeps the source's time
        {5, 8, 10, 8},              // the source's time where it fits
        {5, 3, 10, 6},              // after the packet before
        {5, 9, 7, 7},               // no later than its own pts
        {5, 9, 5, std::nullopt},    // nothing fits
    };
    for (const Case& c : cases)
        EXPECT_EQ(wm::joinedDts(c.previous, c.source, c.pts), c.dts)
            << c.source << " after " << c.previous.value_or(-99) << " for pts " << c.pts;
}

TEST(SmartPlan, AnnexBBecomesLengthPrefixed) {
    const std::vector<uint8_t> annexB = {0,    0,    0,    1, 0x67, 0xaa, 0,    0,    1,
                                         0x68, 0xbb, 0xcc, 0, 0,    1,    0x65, 0x11, 0};
    std::vector<uint8_t> out;
    ASSERT_TRUE(wm::lengthPrefixed(annexB.data(), annexB.size(), 4, out));
    const std::vector<uint8_t> want = {0,    0,    0,    2, 0x67, 0xaa, 0, 0,    0,   3,
                                       0x68, 0xbb, 0xcc, 0, 0,    0,    2, 0x65, 0x11};
    EXPECT_EQ(out, want);
    ASSERT_TRUE(wm::lengthPrefixed(annexB.data(), annexB.size(), 2, out));
    EXPECT_EQ(out.size(), want.size() - 6);
    const std::vector<uint8_t> none = {0x67, 0xaa};
    EXPECT_FALSE(wm::lengthPrefixed(none.data(), none.size(), 4, out));
    std::vector<uint8_t> longUnit = {0, 0, 1};
    longUnit.resize(303, 0x55);
    EXPECT_FALSE(wm::lengthPrefixed(longUnit.data(), longUnit.size(), 1, out));
}

TEST(SmartPlan, FindsAParameterSetIdTheSourceLeavesFree) {
    // avcC: version, profile, compatibility, level, 4-byte lengths, one SPS, one PPS.
    const auto record = [](uint8_t spsId, uint8_t ppsId) {
        return std::vector<uint8_t>{1,    0x64, 0,    0x1f,  0xff, 0xe1, 0, 5,    0x67,
                                    0x64, 0,    0x1f, spsId, 1,    0,    2, 0x68, ppsId};
    };
    const auto zero = record(0x80, 0x80);  // ue(v) 0 is the bit 1
    const auto r0 = wm::readAvcRecord(zero.data(), zero.size());
    ASSERT_TRUE(r0);
    EXPECT_EQ(r0->lengthSize, 4);
    EXPECT_EQ(r0->spsIds, std::vector<int>{0});
    EXPECT_EQ(wm::freeParameterSetId(*r0), 1);
    const auto one = record(0x40, 0x60);  // ue(v) 1 is 010, 2 is 011
    const auto r1 = wm::readAvcRecord(one.data(), one.size());
    ASSERT_TRUE(r1);
    EXPECT_EQ(r1->spsIds, std::vector<int>{1});
    EXPECT_EQ(r1->ppsIds, std::vector<int>{2});
    EXPECT_EQ(wm::freeParameterSetId(*r1), 3);
    const std::vector<uint8_t> annexB = {0, 0, 0, 1, 0x67, 0x64};
    EXPECT_FALSE(wm::readAvcRecord(annexB.data(), annexB.size()));
    EXPECT_FALSE(wm::readAvcRecord(zero.data(), zero.size() - 1));
}

TEST(SmartPlan, TakesTheHevcParameterSetsForTheJoinBack) {
    std::vector<uint8_t> hvcc(23, 0);
    hvcc[0] = 1;
    hvcc[21] = 3;  // 4-byte lengths
    hvcc[22] = 2;  // arrays: a VPS, and an SEI that stays out
    for (const std::vector<uint8_t>& array : {std::vector<uint8_t>{32, 0, 1, 0, 3, 0x40, 0x01, 0x0c},
                                              std::vector<uint8_t>{39, 0, 1, 0, 2, 0x4e, 0x01}})
        hvcc.insert(hvcc.end(), array.begin(), array.end());
    const auto r = wm::readHevcRecord(hvcc.data(), hvcc.size());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->parameterSets, (std::vector<uint8_t>{0, 0, 0, 3, 0x40, 0x01, 0x0c}));
    EXPECT_FALSE(wm::readHevcRecord(hvcc.data(), hvcc.size() - 1));
}

}  // namespace
