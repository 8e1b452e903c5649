// A stop as terminals, logouts and service managers send it: signals from outside, one or several,
// to the encoder or its whole process group. The part keeps what was decoded, is checked against
// what was written to it, and plays.
#include "encoder_run.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <regex>

namespace {

using enc_test::fixture;
using Args = std::vector<std::string>;

constexpr int kRate = 25;

Args source(const std::string& size, int seconds, const Args& codecs) {
    const std::string d = std::to_string(seconds);
    Args a = {
        "-f", "lavfi", "-i", "testsrc2=size=" + size + ":rate=" + std::to_string(kRate) + ":duration=" + d,
        "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=" + d};
    a.insert(a.end(), codecs.begin(), codecs.end());
    return a;
}

// Long enough to be caught under way, with sound copied beside the video.
std::string longClip() {
    return fixture("stop-long-720p.mp4", source("1280x720", 12,
                                                {"-c:v", "libx264", "-preset", "ultrafast", "-crf", "30",
                                                 "-pix_fmt", "yuv420p", "-c:a", "aac"}));
}
// x264's own B-frames and look-ahead in the source, as a camera or an export gives them.
std::string fullHdMp4() {
    return fixture("stop-1080p.mp4",
                   source("1920x1080", 4,
                          {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac"}));
}
std::string mpeg4Avi() {
    return fixture("stop-mpeg4.avi",
                   source("320x240", 4, {"-c:v", "mpeg4", "-q:v", "3", "-c:a", "libmp3lame"}));
}
std::string phoneMp4() {
    return fixture("stop-phone.mp4", source("480x270", 4,
                                            {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p",
                                             "-c:a", "aac", "-metadata:s:v:0", "rotate=90"}));
}

// Small frames, long enough that the muxer's first large write comes well before the end.
std::string smallLongClip() {
    return fixture("stop-small-long.mp4",
                   source("480x270", 12,
                          {"-c:v", "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", "-c:a", "aac"}));
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> all;
    std::string line;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            if (!line.empty()) all.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) all.push_back(line);
    return all;
}

// The frames the last progress line counts: those handed to the video encoder.
int lastProgressFrames(const std::string& output) {
    int frames = -1;
    static const std::regex progress(R"(^frame=\s*(\d+) )");
    for (const std::string& line : lines(output))
        if (std::smatch m; std::regex_search(line, m, progress)) frames = std::stoi(m[1]);
    return frames;
}

// What ffmpeg says while it decodes the file through: nothing for a sound file.
std::string decodeErrors(const std::string& file) {
    return enc_test::run("ffmpeg", {"-v", "error", "-i", file, "-f", "null", "-"}).output;
}

std::vector<std::string> hiddenParts(const std::string& dir) {
    std::vector<std::string> parts;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().find(".wmpart-") != std::string::npos)
            parts.push_back(e.path().filename().string());
    return parts;
}

// A stopped run's end: exit 128 + the first signal, "check: …" with the part's true frame count,
// then the closing line naming the part; the part decodes without a word from ffmpeg.
void expectCheckedPart(const enc_test::RunResult& r, int firstSignal, const std::string& part) {
    ASSERT_TRUE(r.exited) << r.output;
    EXPECT_EQ(r.status, 128 + firstSignal) << r.output;
    const std::vector<std::string> said = lines(r.output);
    ASSERT_GE(said.size(), 2u) << r.output;
    EXPECT_EQ(said.back(), "Stopped by signal " + std::to_string(firstSignal) +
                               "; the part converted so far is kept as '" + part +
                               "', the result's name is left untouched.");
    static const std::regex checked(R"(^check: [0-9:.]+, (\d+) frames, 2 streams$)");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(said[said.size() - 2], m, checked)) << r.output;
    EXPECT_EQ(std::stoi(m[1]), enc_test::countFrames(part));
    EXPECT_EQ(decodeErrors(part), "");
    EXPECT_TRUE(hiddenParts(std::filesystem::path(part).parent_path()).empty());
}

// ---------------------------------------------------------------------------------------------
// Several signals, as a terminal, a logout or a service manager sends them: the first one stops,
// the others ask the same and lose nothing.

struct SignalCase {
    const char* name;
    int first, second;  // second 0: none
    bool toGroup;       // to the encoder's process group, as a terminal's Ctrl+C
};
void PrintTo(const SignalCase& c, std::ostream* os) {
    *os << c.name;
}

class StopSignals : public testing::TestWithParam<SignalCase> {};

TEST_P(StopSignals, KeepACheckedPartWithTheFramesUpToTheFirst) {
    const SignalCase& c = GetParam();
    const std::string dir = enc_test::scratchFolder(std::string("stop-") + c.name);
    ASSERT_TRUE(enc_test::writeMask(dir + "/mask.bmp", 1280, 720, 40, 30));
    const std::string part = dir + "/wm-long-stopped.mp4";
    enc_test::Child child(
        {"-i", longClip(), "-sameq", "-vhook",
         enc_test::hookPath() + " -f " + dir + "/mask.bmp -m 1 -t 0000ff", "-y", dir + "/wm-long.mp4"},
        {.ownGroup = c.toGroup, .env = {}});
    ASSERT_NE(child.readUntil("time=", 30'000).find("time="), std::string::npos);
    // Our own child, or the group it leads and alone is in.
    const pid_t target = c.toGroup ? -child.pid() : child.pid();
    ASSERT_EQ(kill(target, c.first), 0);
    if (c.second) {
        usleep(50'000);
        ASSERT_EQ(kill(target, c.second), 0);
    }
    enc_test::RunResult r;
    ASSERT_TRUE(child.wait(60'000, r)) << "did not stop";
    expectCheckedPart(r, c.first, part);
    // Every frame handed to the encoder up to the stop, less one second at most.
    const int handed = lastProgressFrames(r.output);
    EXPECT_GT(handed, 0) << r.output;
    EXPECT_GE(enc_test::countFrames(part), handed - kRate) << r.output;
    EXPECT_FALSE(std::filesystem::exists(dir + "/wm-long.mp4"));
}

INSTANTIATE_TEST_SUITE_P(Outside, StopSignals,
                         testing::Values(SignalCase{"IntThenTerm", SIGINT, SIGTERM, false},
                                         SignalCase{"TermThenHup", SIGTERM, SIGHUP, false},
                                         SignalCase{"IntToTheGroup", SIGINT, 0, true}),
                         [](const testing::TestParamInfo<SignalCase>& i) {
                             return std::string(i.param.name);
                         });

// ---------------------------------------------------------------------------------------------
// A stop early, a little later and late in the video: the part holds the frames up to it, those
// the encoder still held (B-frames, look-ahead) included, and passes its check.

struct PlaceCase {
    const char* name;
    std::string (*source)();
    const char* ext;
};
void PrintTo(const PlaceCase& c, std::ostream* os) {
    *os << c.name;
}

class StopPlace : public testing::TestWithParam<PlaceCase> {};

TEST_P(StopPlace, PartHoldsTheFramesUpToTheStopAndPassesItsCheck) {
    const PlaceCase& c = GetParam();
    const int frames = 4 * kRate;
    for (int percent : {5, 14, 60}) {
        SCOPED_TRACE(std::to_string(percent) + " %");
        const int at = frames * percent / 100;
        const std::string dir =
            enc_test::scratchFolder("stop-at-" + std::string(c.name) + std::to_string(percent));
        const std::string part = dir + "/wm-clip-stopped." + c.ext;
        enc_test::Child child({"-i", c.source(), "-sameq", "-vhook", WM_HOLD_HOOK " " + std::to_string(at),
                               "-y", dir + "/wm-clip." + c.ext});
        const std::string held = "held at frame " + std::to_string(at) + "\n";
        ASSERT_NE(child.readUntil(held, 60'000).find(held), std::string::npos);
        ASSERT_EQ(kill(child.pid(), SIGINT), 0);  // our own child
        enc_test::RunResult r;
        ASSERT_TRUE(child.wait(60'000, r)) << "did not stop";
        expectCheckedPart(r, SIGINT, part);
        EXPECT_GE(enc_test::countFrames(part), std::max(1, at - kRate)) << r.output;
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, StopPlace,
                         testing::Values(PlaceCase{"FullHdMp4", fullHdMp4, "mp4"},
                                         PlaceCase{"Mpeg4Avi", mpeg4Avi, "avi"},
                                         PlaceCase{"PhoneMp4", phoneMp4, "mp4"}),
                         [](const testing::TestParamInfo<PlaceCase>& i) {
                             return std::string(i.param.name);
                         });

// A stop at 4K: the encoder cannot give out all it holds within its time, and the frames it kept
// back are left out. The check compares the part with what was written to it, so it still passes.
// At the last frame the source is read whole, yet a file cut short still never takes the result's
// name.
TEST(StopPlace, FramesTheEncoderHeldBackAreLeftOutAndThePartPassesItsCheck) {
    const std::string uhd =
        fixture("stop-2160p.mp4",
                source("3840x2160", 2,
                       {"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac"}));
    const int last = 2 * kRate;
    for (int at : {20, last}) {
        SCOPED_TRACE("frame " + std::to_string(at));
        const std::string dir = enc_test::scratchFolder("stop-at-2160p-" + std::to_string(at));
        const std::string result = dir + "/wm-uhd.mp4", part = dir + "/wm-uhd-stopped.mp4";
        enc_test::Child child(
            {"-i", uhd, "-sameq", "-vhook", WM_HOLD_HOOK " " + std::to_string(at), "-y", result});
        const std::string held = "held at frame " + std::to_string(at) + "\n";
        ASSERT_NE(child.readUntil(held, 120'000).find(held), std::string::npos);
        ASSERT_EQ(kill(child.pid(), SIGINT), 0);  // our own child
        enc_test::RunResult r;
        ASSERT_TRUE(child.wait(120'000, r)) << "did not stop";
        if (at == last && std::filesystem::exists(result)) {
            // An encoder fast enough to give out every frame in time: the result is whole.
            EXPECT_EQ(enc_test::countFrames(result), last);
            EXPECT_NE(r.output.find("Stopped by signal 2; the result was already complete.\n"),
                      std::string::npos)
                << r.output;
            continue;
        }
        expectCheckedPart(r, SIGINT, part);
        EXPECT_GE(enc_test::countFrames(part), lastProgressFrames(r.output) - kRate) << r.output;
        EXPECT_FALSE(std::filesystem::exists(result));
    }
}

// ---------------------------------------------------------------------------------------------
// A result's folder that stops taking writes after the stop signal: a part whose folder comes back
// is kept however long it took, with every frame handed to the encoder (the waits on the folder
// are not the encoder's time), and so is one whose encoder was held by job control meanwhile; one
// whose folder never does ends the run 10 s after the last byte moved, with nothing kept.

TEST(StopStalledDisk, PartIsKeptWhileWritesMoveAndGivenUpWhenNoneDo) {
    struct Stall {
        const char* name;
        std::vector<std::string> env;  // besides the stall's start
        bool kept;
        bool heldByJobControl;  // Ctrl+Z a second after the stop, fg 11 s later
    };
    for (const Stall& s :
         {// Two pauses of 6 s: more than 10 s in all after the signal, never 10 s without a write.
          Stall{"comes-back", {"STALLING_DISK_PAUSES=2", "STALLING_DISK_SECONDS=6"}, true, false},
          // Back 6 s after the encoder goes on: its 11 s held are not 11 s of nothing moving.
          Stall{"held-meanwhile", {"STALLING_DISK_PAUSES=1", "STALLING_DISK_SECONDS=18"}, true, true},
          Stall{"never-comes-back", {}, false, false}}) {
        SCOPED_TRACE(s.name);
        const std::string dir = enc_test::scratchFolder(std::string("stop-stalled-") + s.name);
        std::vector<std::string> env = {"LD_PRELOAD=" WM_STALLING_DISK, "STALLING_DISK_BYTES=65536",
                                        "ASAN_OPTIONS=verify_asan_link_order=0"};
        env.insert(env.end(), s.env.begin(), s.env.end());
        enc_test::Child child({"-i", smallLongClip(), "-sameq", "-y", dir + "/wm-clip.mp4"},
                              {.ownGroup = false, .env = env});
        ASSERT_NE(child.readUntil("disk stalled\n", 60'000).find("disk stalled\n"), std::string::npos);
        ASSERT_EQ(kill(child.pid(), SIGTERM), 0);  // our own child
        if (s.heldByJobControl) {
            sleep(1);
            ASSERT_EQ(kill(child.pid(), SIGSTOP), 0);
            sleep(11);
            ASSERT_EQ(kill(child.pid(), SIGCONT), 0);
        }
        enc_test::RunResult r;
        ASSERT_TRUE(child.wait(120'000, r)) << "did not end";
        if (s.kept) {
            const std::string part = dir + "/wm-clip-stopped.mp4";
            expectCheckedPart(r, SIGTERM, part);
            EXPECT_EQ(enc_test::countFrames(part), lastProgressFrames(r.output)) << r.output;
        } else {
            ASSERT_TRUE(r.exited) << r.output;
            EXPECT_EQ(r.status, 128 + SIGTERM) << r.output;
            const std::string end =
                "The part could not be closed: nothing was read or written for 10 s.\n"
                "Stopped by signal 15; nothing was written.\n";
            ASSERT_GE(r.output.size(), end.size()) << r.output;
            EXPECT_EQ(r.output.substr(r.output.size() - end.size()), end) << r.output;
            EXPECT_FALSE(std::filesystem::exists(dir + "/wm-clip-stopped.mp4"));
        }
        EXPECT_FALSE(std::filesystem::exists(dir + "/wm-clip.mp4"));
    }
}

}  // namespace
