// A source cut short, overwritten, grown or replaced while it is read makes no result: the run says
// what changed, leaves the result's name free and keeps what it wrote only as a part, so that the
// next run converts the video again. A source deleted meanwhile is read on to its end.
#include "encoder_run.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <functional>

namespace {

namespace fs = std::filesystem;

std::string clip() {
    return enc_test::fixture(
        "change-clip.mp4",
        {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=2", "-c:v", "libx264", "-preset",
         "veryfast", "-pix_fmt", "yuv420p", "-movflags", "+faststart"});
}

void writeFile(const std::string& path, const std::string& bytes, std::ios::openmode mode) {
    std::ofstream(path, std::ios::binary | mode) << bytes;
}

}  // namespace

TEST(SourceChange, WhatChangedUnderTheReadingIsNoResult) {
    const struct {
        const char* name;
        std::function<void(const std::string&)> change;
        const char* says;  // nullptr: the run completes
    } cases[] = {
        {"cut short", [](const std::string& p) { fs::resize_file(p, fs::file_size(p) * 3 / 10); },
         "it shrank from "},
        {"grown", [](const std::string& p) { writeFile(p, std::string(4096, 'x'), std::ios::app); },
         "it grew from "},
        {"overwritten in place",
         [](const std::string& p) {
             std::fstream f(p, std::ios::binary | std::ios::in | std::ios::out);
             f.seekp(std::streamoff(fs::file_size(p) - 64));
             f << std::string(16, '\0');
         },
         "it was written to"},
        {"replaced",
         [](const std::string& p) {
             fs::copy_file(p, p + ".new");
             fs::rename(p + ".new", p);
         },
         "another file took its name"},
        {"deleted", [](const std::string& p) { fs::remove(p); }, nullptr},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // No space in the folder: the module's words are split at spaces.
        const std::string dir = enc_test::scratchFolder("change-" + std::to_string(++n));
        const std::string source = dir + "/source.mp4", result = dir + "/wm-source.mp4", go = dir + "/go";
        fs::copy_file(clip(), source);
        enc_test::Child child({"-i", source, "-sameq", "-vhook", WM_HOLD_HOOK " 5 " + go, "-y", result});
        const std::string held = "held at frame 5\n";
        ASSERT_NE(child.readUntil(held, 30'000).find(held), std::string::npos);
        c.change(source);
        writeFile(go, "", std::ios::out);
        enc_test::RunResult r;
        ASSERT_TRUE(child.wait(60'000, r));
        if (!c.says) {
            EXPECT_EQ(r.status, 0) << r.output;
            EXPECT_TRUE(fs::exists(result)) << r.output;
            continue;
        }
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_NE(r.output.find(std::string("the source changed while it was read (") + c.says),
                  std::string::npos)
            << r.output;
        EXPECT_FALSE(fs::exists(result)) << "a changed source gave a result";
    }
}
