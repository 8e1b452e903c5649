// A complete, checked result clears the parts earlier stopped runs kept of it, and nothing else: a
// user's file named like one, a link, a second name, another user's part and another result's
// part stay, and a run that stops, fails its check or is not checked removes nothing.
#include "encoder_run.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <cstring>
#include <filesystem>
#include <set>

namespace {

namespace fs = std::filesystem;
using Names = std::set<std::string>;

std::string clip() {
    return enc_test::fixture(
        "parts-clip.mp4", {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=2", "-c:v", "libx264",
                           "-preset", "veryfast", "-pix_fmt", "yuv420p"});
}

// Stops a run of dir/result at its fifth frame; returns the name of the part it kept.
std::string stopRun(const std::string& dir, const std::string& result) {
    enc_test::Child child({"-i", clip(), "-sameq", "-vhook", WM_HOLD_HOOK " 5", "-y", dir + "/" + result});
    const std::string held = "held at frame 5\n";
    if (child.readUntil(held, 30'000).find(held) == std::string::npos) return "not held";
    kill(child.pid(), SIGINT);  // our own child
    enc_test::RunResult r;
    if (!child.wait(30'000, r) || !r.exited || r.status != 128 + SIGINT) return "not stopped: " + r.output;
    const std::string head = "kept as '" + dir + "/", tail = "', the result's name";
    const auto from = r.output.rfind(head), to = r.output.rfind(tail);
    if (from == std::string::npos || to == std::string::npos || to < from) return "no part: " + r.output;
    return r.output.substr(from + head.size(), to - from - head.size());
}

Names files(const std::string& dir) {
    Names names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

// The program's own attributes on a file, by name.
Names ourAttributes(const std::string& path) {
    char list[1024];
    const ssize_t n = ::llistxattr(path.c_str(), list, sizeof list);
    Names names;
    for (ssize_t at = 0; at < n; at += ssize_t(std::strlen(list + at)) + 1)
        if (std::string(list + at).rfind("user.watermark-image.", 0) == 0) names.insert(list + at);
    return names;
}

enum class Later { Complete, Unchecked, Stopped, CheckFailed };

struct SweepCase {
    const char* name;
    void (*setUp)(const std::string& dir);
    Later later;       // the later run of wm-clip.mp4
    Names after;       // the folder's files once it ended
    std::string said;  // the line after the check's; "" for no line about parts
};
void PrintTo(const SweepCase& c, std::ostream* os) {
    *os << c.name;
}

class EarlierParts : public testing::TestWithParam<SweepCase> {};

TEST_P(EarlierParts, GoOnlyWhenSurelyOursAndTheResultIsCheckedWhole) {
    const SweepCase& c = GetParam();
    const std::string dir = enc_test::scratchFolder(std::string("parts-") + c.name);
    c.setUp(dir);
    if (HasFatalFailure()) return;
    const std::string result = dir + "/wm-clip.mp4";
    enc_test::RunResult r;
    switch (c.later) {
        case Later::Complete:
        case Later::Unchecked:
            r = c.later == Later::Complete
                    ? enc_test::runEncoder({"-i", clip(), "-sameq", "-y", result})
                    : enc_test::runEncoder({"-i", clip(), "-sameq", "-nocheck", "-y", result});
            ASSERT_TRUE(r.exited && r.status == 0) << r.output;
            // A finished result is never taken for a part.
            EXPECT_EQ(ourAttributes(result), Names{});
            break;
        case Later::Stopped:
            EXPECT_EQ(stopRun(dir, "wm-clip.mp4"), "wm-clip-stopped (2).mp4");
            break;
        case Later::CheckFailed:
            // A disk that drops writes: the result fails its check and is kept as a part.
            r = enc_test::run("env", {"LD_PRELOAD=" WM_LYING_DISK, "LYING_DISK_BYTES=20000",
                                      "ASAN_OPTIONS=verify_asan_link_order=0", enc_test::encoderPath(), "-i",
                                      clip(), "-sameq", "-y", result});
            ASSERT_TRUE(r.exited && r.status == 1) << r.output;
            break;
    }
    EXPECT_EQ(files(dir), c.after);
    if (c.said.empty()) {
        EXPECT_EQ(r.output.find("Removed"), std::string::npos) << r.output;
    } else {
        const std::string end = "check: 0:02.0, 50 frames, 1 stream\n" + c.said + "\n";
        EXPECT_TRUE(r.output.size() >= end.size() && r.output.substr(r.output.size() - end.size()) == end)
            << r.output;
    }
}

void onePart(const std::string& dir) {
    ASSERT_EQ(stopRun(dir, "wm-clip.mp4"), "wm-clip-stopped.mp4");
}

INSTANTIATE_TEST_SUITE_P(
    Folders, EarlierParts,
    testing::Values(
        SweepCase{"OnePart",
                  onePart,
                  Later::Complete,
                  {"wm-clip.mp4"},
                  "Removed the earlier stopped part 'wm-clip-stopped.mp4'."},
        SweepCase{"TwoParts",
                  [](const std::string& dir) {
                      onePart(dir);
                      ASSERT_EQ(stopRun(dir, "wm-clip.mp4"), "wm-clip-stopped (2).mp4");
                  },
                  Later::Complete,
                  {"wm-clip.mp4"},
                  "Removed 2 earlier stopped parts: 'wm-clip-stopped.mp4', 'wm-clip-stopped (2).mp4'."},
        // The user's own file under the first part's name: ours came after it, as "(2)".
        SweepCase{"UsersLookalikeBesideOurs",
                  [](const std::string& dir) {
                      fs::copy_file(clip(), dir + "/wm-clip-stopped.mp4");
                      ASSERT_EQ(stopRun(dir, "wm-clip.mp4"), "wm-clip-stopped (2).mp4");
                  },
                  Later::Complete,
                  {"wm-clip.mp4", "wm-clip-stopped.mp4"},
                  "Removed the earlier stopped part 'wm-clip-stopped (2).mp4'."},
        SweepCase{"LinkToOurPart",
                  [](const std::string& dir) {
                      onePart(dir);
                      fs::rename(dir + "/wm-clip-stopped.mp4", dir + "/kept.mp4");
                      fs::create_symlink("kept.mp4", dir + "/wm-clip-stopped.mp4");
                  },
                  Later::Complete,
                  {"wm-clip.mp4", "wm-clip-stopped.mp4", "kept.mp4"},
                  ""},
        SweepCase{"OurPartWithASecondName",
                  [](const std::string& dir) {
                      onePart(dir);
                      fs::create_hard_link(dir + "/wm-clip-stopped.mp4", dir + "/kept.mp4");
                  },
                  Later::Complete,
                  {"wm-clip.mp4", "wm-clip-stopped.mp4", "kept.mp4"},
                  ""},
        SweepCase{"OtherResultsParts",
                  [](const std::string& dir) {
                      ASSERT_EQ(stopRun(dir, "wm-other.mp4"), "wm-other-stopped.mp4");
                      ASSERT_EQ(stopRun(dir, "wm-clip.mkv"), "wm-clip-stopped.mkv");
                  },
                  Later::Complete,
                  {"wm-clip.mp4", "wm-other-stopped.mp4", "wm-clip-stopped.mkv"},
                  ""},
        // Renamed out of the names a stopped run gives: no longer surely a part.
        SweepCase{"OurPartRenamed",
                  [](const std::string& dir) {
                      onePart(dir);
                      fs::rename(dir + "/wm-clip-stopped.mp4", dir + "/wm-clip-stopped (02).mp4");
                  },
                  Later::Complete,
                  {"wm-clip.mp4", "wm-clip-stopped (02).mp4"},
                  ""},
        SweepCase{"LaterRunStopped",
                  onePart,
                  Later::Stopped,
                  {"wm-clip-stopped.mp4", "wm-clip-stopped (2).mp4"},
                  ""},
        SweepCase{"LaterRunFailedItsCheck",
                  onePart,
                  Later::CheckFailed,
                  {"wm-clip-stopped.mp4", "wm-clip-stopped (2).mp4"},
                  ""},
        SweepCase{
            "LaterRunNotChecked", onePart, Later::Unchecked, {"wm-clip.mp4", "wm-clip-stopped.mp4"}, ""}),
    [](const testing::TestParamInfo<SweepCase>& i) { return std::string(i.param.name); });

// Another user's part in a folder the run may write in, where unlinking it would succeed: the run
// as that unprivileged user removes its own part and leaves root's.
TEST(EarlierPartsOfAnotherUser, Stay) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root makes a file of another user's";
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    // Out of the build folder, which that user may not reach (a clone under /root).
    std::string pattern = "/tmp/wm-parts-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path tmp = pattern;
    struct Gone {
        fs::path path;
        ~Gone() { fs::remove_all(path); }
    } gone{tmp};
    fs::permissions(tmp, fs::perms(0755));
    const std::string encoder = tmp / "mxcode.dll", source = tmp / "clip.mp4", dir = tmp / "out";
    fs::copy_file(enc_test::encoderPath(), encoder);
    fs::copy_file(clip(), source);
    fs::permissions(source, fs::perms(0644));
    fs::create_directory(dir);
    ASSERT_EQ(::chown(dir.c_str(), nobody->pw_uid, nobody->pw_gid), 0);

    // Both made by root; the second given to that user, as its own stopped run would leave it.
    ASSERT_EQ(stopRun(dir, "wm-clip.mp4"), "wm-clip-stopped.mp4");
    ASSERT_EQ(stopRun(dir, "wm-clip.mp4"), "wm-clip-stopped (2).mp4");
    ASSERT_EQ(::chown((dir + "/wm-clip-stopped (2).mp4").c_str(), nobody->pw_uid, nobody->pw_gid), 0);

    const auto r = enc_test::run(
        "setpriv", {"--reuid=" + std::to_string(nobody->pw_uid), "--regid=" + std::to_string(nobody->pw_gid),
                    "--clear-groups", encoder, "-i", source, "-sameq", "-y", dir + "/wm-clip.mp4"});
    ASSERT_TRUE(r.exited && r.status == 0) << r.output;
    EXPECT_NE(r.output.find("\nRemoved the earlier stopped part 'wm-clip-stopped (2).mp4'.\n"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(files(dir), (Names{"wm-clip.mp4", "wm-clip-stopped.mp4"}));
}

}  // namespace
