// A mark that comes and goes: the module laying the mark by each frame's time from the start of the
// video, read back through ffmpeg; bad times refused before anything is written; and the hook
// interface for modules that do not take the time.
#include "encoder/hook/hook_api.h"
#include "encoder_run.h"

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

using Args = std::vector<std::string>;

constexpr int kW = 160, kH = 120, kRate = 10, kFrames = 100;
constexpr int kLogoX = 40, kLogoY = 30;  // the test logo: 60 x 40, red and white halves

// Every frame of a video as RGB, one after the other.
std::string allFrames(const std::string& file) {
    return enc_test::run("ffmpeg",
                         {"-loglevel", "quiet", "-i", file, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"})
        .output;
}

int channel(const std::string& frames, int index, int x, int y, int c) {
    return static_cast<unsigned char>(frames[size_t(((index * kH + y) * kW + x) * 3 + c)]);
}

// The logo's colour at a frame pixel; nothing outside it.
std::optional<std::array<int, 3>> logoAt(int x, int y) {
    if (x < kLogoX || x >= kLogoX + 60 || y < kLogoY || y >= kLogoY + 40) return std::nullopt;
    return x < kLogoX + 30 ? std::array<int, 3>{255, 0, 0} : std::array<int, 3>{255, 255, 255};
}

// The largest difference of a frame from the source's laid over by the logo at `weight` (0..256),
// as the module mixes.
int mostOff(const std::string& out, const std::string& src, int index, unsigned weight) {
    int most = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            for (int c = 0; c < 3; ++c) {
                const int s = channel(src, index, x, y, c);
                const auto logo = logoAt(x, y);
                const int want =
                    logo ? int(((*logo)[size_t(c)] * weight + s * (256 - weight) + 128) >> 8) : s;
                most = std::max(most, std::abs(channel(out, index, x, y, c) - want));
            }
    return most;
}

double psnr(const std::string& a, const std::string& b, int index) {
    double sum = 0;
    const size_t n = size_t(kW * kH * 3), at = size_t(index) * n;
    for (size_t i = 0; i < n; ++i) {
        const double d =
            double(static_cast<unsigned char>(a[at + i])) - static_cast<unsigned char>(b[at + i]);
        sum += d * d;
    }
    return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * double(n) / sum);
}

std::string vhook(const std::string& mask, const std::string& more) {
    return enc_test::hookPath() + " -f " + mask + " -m 1 -t 000000" + more;
}

// A 10 s clip at 10 frames a second, coded losslessly in RGB, its timestamps starting `offset`
// seconds in.
std::string losslessClip(int offset) {
    return enc_test::fixture(
        "moving-" + std::to_string(offset) + ".mkv",
        {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=10", "-frames:v", std::to_string(kFrames), "-c:v",
         "ffv1", "-pix_fmt", "bgr0", "-output_ts_offset", std::to_string(offset)});
}

class TimeRangeConversion : public testing::TestWithParam<int> {};

// From 2 s to 6 s with 1 s fades: nothing before and after, half at 2.5 s and 5.5 s, whole from
// 3 s to 5 s, on a clip that starts at 0 and on one whose timestamps start later.
TEST_P(TimeRangeConversion, TheMarkComesAndGoesByTheFramesTime) {
    const int offset = GetParam();
    const std::string source = losslessClip(offset);
    const std::string dir = enc_test::scratchFolder("time-range-" + std::to_string(offset));
    const std::string mask = dir + "/mask.bmp", result = dir + "/result.mkv";
    ASSERT_TRUE(enc_test::writeMask(mask, kW, kH, kLogoX, kLogoY));
    const auto r = enc_test::runEncoder(
        {"-i", source, "-sameq", "-vhook", vhook(mask, " -from 2 -until 6 -fade 1"), "-y", result});
    ASSERT_TRUE(r.exited && r.status == 0) << r.output;
    const std::string out = allFrames(result), src = allFrames(source);
    ASSERT_EQ(out.size(), size_t(kW * kH * 3 * kFrames));
    ASSERT_EQ(src.size(), out.size());
    for (int i = 0; i < kFrames; ++i) {
        const double t = double(i) / kRate;
        if (t < 2 || t >= 6) {
            EXPECT_EQ(mostOff(out, src, i, 0), 0) << "frame at " << t << " s";
        } else if (t >= 3 && t <= 5) {
            EXPECT_EQ(mostOff(out, src, i, 256), 0) << "frame at " << t << " s";
        }
    }
    for (const double t : {2.5, 5.5})
        EXPECT_LE(mostOff(out, src, int(t * kRate), 128), 2) << "frame at " << t << " s";
    // The fades rise and fall in steps: a quarter in at 2.2 s... (weight 0.2).
    EXPECT_LE(mostOff(out, src, 22, 51), 2);
}

INSTANTIATE_TEST_SUITE_P(Starts, TimeRangeConversion, testing::Values(0, 7));

// On a lossy clip the frames the mark leaves alone are a plain transcode's.
TEST(TimeRangeConversion, FramesOutsideAreAPlainTranscodes) {
    const std::string source = enc_test::fixture(
        "moving-10s.avi", {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=10", "-frames:v",
                           std::to_string(kFrames), "-c:v", "mpeg4", "-q:v", "3"});
    const std::string dir = enc_test::scratchFolder("time-range-lossy");
    const std::string mask = dir + "/mask.bmp";
    ASSERT_TRUE(enc_test::writeMask(mask, kW, kH, kLogoX, kLogoY));
    const auto marked =
        enc_test::runEncoder({"-i", source, "-sameq", "-vhook", vhook(mask, " -from 2 -until 6 -fade 1"),
                              "-y", dir + "/marked.avi"});
    ASSERT_TRUE(marked.exited && marked.status == 0) << marked.output;
    const auto plain = enc_test::runEncoder({"-i", source, "-sameq", "-y", dir + "/plain.avi"});
    ASSERT_TRUE(plain.exited && plain.status == 0) << plain.output;
    const std::string a = allFrames(dir + "/marked.avi"), b = allFrames(dir + "/plain.avi");
    ASSERT_EQ(a.size(), size_t(kW * kH * 3 * kFrames));
    ASSERT_EQ(b.size(), a.size());
    double worst = 99;
    for (int i = 0; i < kFrames; ++i)
        if (i < 20 || i >= 60) worst = std::min(worst, psnr(a, b, i));
    EXPECT_GE(worst, 45.0);
    EXPECT_LT(psnr(a, b, 40), 30.0);  // while the mark shows, it does show
}

// Bad times: the module says which, the run fails, and nothing is written.
TEST(TimeRangeConversion, BadTimesAreRefusedBeforeAnyFile) {
    const std::string source = losslessClip(0);
    const std::string dir = enc_test::scratchFolder("time-range-bad");
    const std::string mask = dir + "/mask.bmp", result = dir + "/result.mkv";
    ASSERT_TRUE(enc_test::writeMask(mask, kW, kH, kLogoX, kLogoY));
    const std::pair<const char*, const char*> cases[] = {
        {" -from abc", "time 'abc' for '-from' is not a number of seconds"},
        {" -from 6 -until 2", "'-until' must come after its '-from'"},
        {" -from 2 -until 6 -fade 3", "fades ('-fade') are longer than its time range"},
        {" -fade 12", "'-fade' must be from 0 to 10 seconds"},
    };
    for (const auto& [words, message] : cases) {
        const auto r =
            enc_test::runEncoder({"-i", source, "-sameq", "-vhook", vhook(mask, words), "-y", result});
        ASSERT_TRUE(r.exited) << r.output;
        EXPECT_NE(r.status, 0) << words;
        EXPECT_NE(r.output.find(message), std::string::npos) << r.output;
        EXPECT_FALSE(std::filesystem::exists(result)) << words;
        for (const auto& e : std::filesystem::directory_iterator(dir))
            EXPECT_EQ(e.path().filename(), "mask.bmp") << words;
    }
}

// A module of the first interface, without wm_hook_process_at, is still driven frame by frame.
TEST(HookInterface, AModuleWithoutTimesStillRuns) {
    const std::string source = losslessClip(0);
    const std::string dir = enc_test::scratchFolder("time-range-plain-module");
    const auto r = enc_test::runEncoder(
        {"-i", source, "-sameq", "-vhook", std::string(WM_PLAIN_HOOK), "-y", dir + "/black.mkv"});
    ASSERT_TRUE(r.exited && r.status == 0) << r.output;
    const std::string out = allFrames(dir + "/black.mkv");
    ASSERT_EQ(out.size(), size_t(kW * kH * 3 * kFrames));
    EXPECT_EQ(out.find_first_not_of('\0'), std::string::npos);
}

// An encoder that gives no times (one that knows only wm_hook_process) gets a refusal for a mark
// that needs them, never a mark laid at the wrong time; the plain mark works as before.
TEST(HookInterface, WithoutTheTimeARangeIsRefused) {
    const std::string dir = enc_test::scratchFolder("time-range-module");
    const std::string mask = dir + "/mask.bmp";
    ASSERT_TRUE(enc_test::writeMask(mask, 4, 2, 0, 0));
    void* module = dlopen(enc_test::hookPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto create = reinterpret_cast<WmHookCreateFn>(dlsym(module, WM_HOOK_SYMBOL_CREATE));
    auto process = reinterpret_cast<WmHookProcessFn>(dlsym(module, WM_HOOK_SYMBOL_PROCESS));
    auto processAt = reinterpret_cast<WmHookProcessAtFn>(dlsym(module, WM_HOOK_SYMBOL_PROCESS_AT));
    auto destroy = reinterpret_cast<WmHookDestroyFn>(dlsym(module, WM_HOOK_SYMBOL_DESTROY));
    ASSERT_TRUE(create && process && processAt && destroy);
    const WmHookFrameFormat format{4, 2, "gray", 2, 1};
    uint8_t pixels[8] = {};
    uint8_t* planes[4] = {pixels, nullptr, nullptr, nullptr};
    const int strides[4] = {4, 0, 0, 0};
    for (const bool limited : {false, true}) {
        const Args words = limited ? Args{"-f", mask, "-from", "1", "-until", "2"} : Args{"-f", mask};
        std::vector<const char*> argv;
        for (const std::string& w : words)
            argv.push_back(w.c_str());
        char error[256] = {};
        WmHook* hook = create(int(argv.size()), argv.data(), &format, error, sizeof error);
        ASSERT_NE(hook, nullptr) << error;
        EXPECT_EQ(process(hook, planes, strides), limited ? -1 : 0);
        EXPECT_EQ(processAt(hook, planes, strides, 1.5), 0);
        destroy(hook);
    }
    dlclose(module);
}

}  // namespace
