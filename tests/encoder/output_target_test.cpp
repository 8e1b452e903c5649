#include "encoder/output_target.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

TEST(StoppedName, GoesBeforeTheExtensionOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"/v/clip.mp4", "/v/clip-stopped.mp4"},
        {"clip.tar.mkv", "clip.tar-stopped.mkv"},
        {"/v.d/clip", "/v.d/clip-stopped"},  // a dot in the folder is no extension
        {"/v/.clip", "/v/.clip-stopped"},    // nor a hidden name's leading dot
        {"clip", "clip-stopped"},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(wm::stoppedName(path), expected) << path;
    EXPECT_EQ(wm::stoppedName("/v/clip.mp4", 2), "/v/clip-stopped (2).mp4");
    EXPECT_EQ(wm::stoppedName("/v/clip", 12), "/v/clip-stopped (12)");
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A folder with the source "clip.avi"; the result is "wm-clip.mp4".
class Commit : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = testing::TempDir() + "commit-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        write(dir_ / "clip.avi", "the source");
    }
    void TearDown() override { fs::remove_all(dir_); }

    static void write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }
    // Every file of the folder with its contents; a link as "-> target", a folder as "<folder>".
    std::map<std::string, std::string> files() const {
        std::map<std::string, std::string> all;
        for (const auto& e : fs::directory_iterator(dir_))
            all[e.path().filename()] = e.is_symlink()     ? "-> " + fs::read_symlink(e.path()).string()
                                       : e.is_directory() ? "<folder>"
                                                          : contents(e.path());
        return all;
    }
    fs::path dir_;
};

struct CommitCase {
    const char* name;
    bool stopped, overwrite;
    const char* keptAs;  // "" when the commit fails
    // Files that appear while the run converts: name and contents, "->" and a link's target, or a
    // folder's name ending in "/".
    std::vector<std::pair<std::string, std::string>> during = {};
    const char* error = "";  // part of the message when it fails
};

// A stopped run's part never takes the result's name nor replaces any file; a complete run
// takes the result's name, replacing a file only with -y.
TEST_F(Commit, PartsNeverReplaceAFileResultsOnlyWithY) {
    const CommitCase cases[] = {
        {"stopped, folder empty", true, false, "wm-clip-stopped.mp4"},
        {"stopped beside a complete result, with -y",
         true,
         true,
         "wm-clip-stopped.mp4",
         {{"wm-clip.mp4", "complete"}}},
        {"stopped beside earlier parts",
         true,
         true,
         "wm-clip-stopped (3).mp4",
         {{"wm-clip-stopped.mp4", "first part"}, {"wm-clip-stopped (2).mp4", "second part"}}},
        {"stopped, the part's name a dangling link",
         true,
         false,
         "wm-clip-stopped (2).mp4",
         {{"wm-clip-stopped.mp4", "->nowhere.mp4"}}},
        {"stopped, the part's name a folder",
         true,
         false,
         "wm-clip-stopped (2).mp4",
         {{"wm-clip-stopped.mp4/", ""}}},
        {"complete, new name", false, false, "wm-clip.mp4"},
        {"complete, name taken during the run",
         false,
         false,
         "",
         {{"wm-clip.mp4", "another run's"}},
         "already exists; give -y"},
        {"complete, name taken, with -y", false, true, "wm-clip.mp4", {{"wm-clip.mp4", "an earlier result"}}},
    };
    for (const CommitCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& e : fs::directory_iterator(dir_))
            if (e.path().filename() != "clip.avi") fs::remove_all(e.path());
        const std::string result = (dir_ / "wm-clip.mp4").string();
        wm::OutputTarget target;
        ASSERT_FALSE(target.prepare((dir_ / "clip.avi").string(), result, c.overwrite));
        write(target.workPath(), "converted");
        for (const auto& [name, text] : c.during) {
            if (name.back() == '/')
                fs::create_directory(dir_ / name);
            else if (text.rfind("->", 0) == 0)
                fs::create_symlink(text.substr(2), dir_ / name);
            else
                write(dir_ / name, text);
        }
        auto expected = files();
        std::string keptAs;
        const wm::Error e = target.commit(c.stopped, keptAs);
        if (*c.keptAs) {
            ASSERT_FALSE(e) << e.message();
            EXPECT_EQ(keptAs, (dir_ / c.keptAs).string());
            // The one change: the hidden working file became the kept file.
            expected.erase(fs::path(target.workPath()).filename());
            expected[c.keptAs] = "converted";
        } else {
            ASSERT_TRUE(e);
            EXPECT_NE(e.message().find(c.error), std::string::npos) << e.message();
            target.discard();
            expected.erase(fs::path(target.workPath()).filename());
        }
        if (c.stopped) {
            EXPECT_NE(keptAs, result);
        }
        EXPECT_EQ(files(), expected);
    }
}

}  // namespace
