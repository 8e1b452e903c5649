#include "encoder/codec_choice.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ContainerFor, NamesThatAreNotTheFormatsOwn) {
    const std::pair<const char*, const char*> cases[] = {
        {"/v/clip.divx", "avi"},
        {"/v/clip.m4v", "mp4"},
        {"/v/clip.mpg", "mpeg"},
        {"/v/clip.MPEG", "mpeg"},
        {"/v/clip.ts", "mpegts"},
        {"/v/clip.Mp4", "mp4"},
        {"/v/clip.webm", "webm"},
        {"/v/clip.xyz", nullptr},
        {"/v/clip", nullptr},
        {"/v.mp4/clip", nullptr},
        {"", nullptr},
    };
    for (const auto& [path, format] : cases) {
        const AVOutputFormat* f = wm::containerFor(path);
        EXPECT_EQ(f ? std::string(f->name) : std::string("none"), format ? format : "none") << path;
    }
}

TEST(ContainerTakes, ListsTheMuxersGetWrongOrKeepNone) {
    struct Case {
        const char* format;
        AVCodecID codec;
        bool takes;
    };
    const Case cases[] = {
        // FLV lists these but refuses them when the header is written.
        {"flv", AV_CODEC_ID_MPEG4, false},
        {"flv", AV_CODEC_ID_H263, false},
        {"flv", AV_CODEC_ID_FLV1, true},
        // No codec tables: the lists kept here.
        {"mpegts", AV_CODEC_ID_H264, true},
        {"mpegts", AV_CODEC_ID_MP2, true},
        {"mpegts", AV_CODEC_ID_VP8, false},
        {"mpeg", AV_CODEC_ID_MPEG1VIDEO, true},
        {"mpeg", AV_CODEC_ID_AC3, true},
        {"mpeg", AV_CODEC_ID_AAC, false},
        {"mpeg", AV_CODEC_ID_H264, false},
    };
    for (const Case& c : cases) {
        const AVOutputFormat* f = av_guess_format(c.format, nullptr, nullptr);
        ASSERT_NE(f, nullptr) << c.format;
        EXPECT_EQ(wm::containerTakes(f, c.codec), c.takes) << c.format << " " << avcodec_get_name(c.codec);
    }
    // So an MPEG-4 source in FLV is re-encoded with FLV's own codec.
    const AVCodec* chosen =
        wm::chooseVideoEncoder(av_guess_format("flv", nullptr, nullptr), AV_CODEC_ID_MPEG4);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->id, AV_CODEC_ID_FLV1);
}

}  // namespace
