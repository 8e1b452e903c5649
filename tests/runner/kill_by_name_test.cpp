// killProcessByName against copies of runner_child started by the test under
// names that only this test process can have (made from its pid).
#include "runner/kill_by_name.h"

#include "runner_test_support.h"

#include <QFile>

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <ostream>

extern char** environ;

using namespace runner_test;
namespace fs = std::filesystem;
using kill_by_name_detail::imageNameFromExeLink;
using kill_by_name_detail::imageNameMatches;
using kill_by_name_detail::matchingProcesses;

namespace {

// A private folder with copies of runner_child under chosen names.
class Sleepers {
public:
    Sleepers() {
        std::string pattern = (fs::temp_directory_path() / "wm-kill-XXXXXX").string();
        dir_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~Sleepers() {
        for (pid_t pid : started_) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        std::error_code ec;
        if (!dir_.empty()) fs::remove_all(dir_, ec);
    }

    std::string Copy(const std::string& name) {
        const fs::path path = fs::path(dir_) / name;
        fs::copy_file(ChildPath(), path, fs::copy_options::overwrite_existing);
        fs::permissions(path, fs::perms::owner_all);
        return path.string();
    }

    // Starts the copy sleeping 30 s; 0 on failure.
    pid_t Start(const std::string& path) {
        std::string sleep = "s:30000";
        char* argv[] = {const_cast<char*>(path.c_str()), sleep.data(), nullptr};
        pid_t pid = 0;
        if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) return 0;
        started_.push_back(pid);
        return pid;
    }

    // Waits for the child's end and tells whether SIGTERM ended it.
    bool EndedBySigterm(pid_t pid) {
        int status = 0;
        const bool ended = WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; });
        if (ended) std::erase(started_, pid);
        return ended && WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM;
    }

    bool StillRunning(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == 0; }

private:
    std::string dir_;
    std::vector<pid_t> started_;
};

std::string Unique(const char* stem) {
    return "zq" + std::to_string(::getpid()) + stem;
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

struct MatchCase {
    const char* exe;
    const char* name;
    bool matches;
};

// CTest names the cases after this.
void PrintTo(const MatchCase& c, std::ostream* os) {
    *os << (c.exe[0] ? c.exe : "(empty)") << "_vs_" << (c.name[0] ? c.name : "(empty)");
}

class RunnerKillByNameMatch : public testing::TestWithParam<MatchCase> {};

TEST_P(RunnerKillByNameMatch, FollowsTheDesignRule) {
    EXPECT_EQ(imageNameMatches(QString::fromUtf8(GetParam().exe), QString::fromUtf8(GetParam().name)),
              GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(Table, RunnerKillByNameMatch,
                         testing::Values(MatchCase{"mxcode.dll", "mxcode.dll", true},
                                         MatchCase{"MXCODE.DLL", "mxcode.dll", true},
                                         MatchCase{"mxcode.dll", "MxCode.DLL", true},
                                         MatchCase{"oldmxcode.dll", "mxcode.dll", true},
                                         MatchCase{"mxcode.dll.bak", "mxcode.dll", false},
                                         MatchCase{"code.dll", "mxcode.dll", false},  // shorter exe
                                         MatchCase{"mxcode.dll", "dll", true},
                                         MatchCase{"mxcode.dll", "", false}, MatchCase{"", "", false},
                                         MatchCase{"ÉTÉ.dll", "été.dll", true}));

TEST(RunnerKillByName, ImageNameIsTheLinkTargetsLastComponent) {
    EXPECT_EQ(imageNameFromExeLink("/usr/bin/sleep"), QString("sleep"));
    EXPECT_EQ(imageNameFromExeLink("/opt/wm/mxcode.dll (deleted)"), QString("mxcode.dll"));
    EXPECT_EQ(imageNameFromExeLink("/opt/wm dir/été.dll"), QString::fromUtf8("été.dll"));
    EXPECT_EQ(imageNameFromExeLink("plain"), QString("plain"));
}

TEST(RunnerKillByName, EmptyNameKillsNothing) {
    // Checked on the list first: a bug here must not reach the real call.
    ASSERT_TRUE(matchingProcesses("").empty());
    Sleepers sleepers;
    const pid_t pid = sleepers.Start(sleepers.Copy(Unique("empty")));
    ASSERT_GT(pid, 0);
    killProcessByName("");
    ::usleep(200 * 1000);
    EXPECT_TRUE(sleepers.StillRunning(pid));
}

TEST(RunnerKillByName, KillsCaseAndPrefixVariantsButNotASuffixedName) {
    Sleepers sleepers;
    const std::string name = Unique("kill.dll");
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    const pid_t plain = sleepers.Start(sleepers.Copy(name));
    const pid_t upperCased = sleepers.Start(sleepers.Copy(upper));
    const pid_t prefixed = sleepers.Start(sleepers.Copy("old" + name));
    const pid_t suffixed = sleepers.Start(sleepers.Copy(name + ".bak"));
    ASSERT_TRUE(plain && upperCased && prefixed && suffixed);

    auto matching = matchingProcesses(Q(name));
    std::sort(matching.begin(), matching.end());
    std::vector<qint64> expected{plain, upperCased, prefixed};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(matching, expected);

    killProcessByName(Q(name));
    EXPECT_TRUE(sleepers.EndedBySigterm(plain));
    EXPECT_TRUE(sleepers.EndedBySigterm(upperCased));
    EXPECT_TRUE(sleepers.EndedBySigterm(prefixed));
    ::usleep(200 * 1000);
    EXPECT_TRUE(sleepers.StillRunning(suffixed));
}

TEST(RunnerKillByName, ARemovedExecutableStillMatches) {
    Sleepers sleepers;
    const std::string name = Unique("gone.dll");
    const std::string path = sleepers.Copy(name);
    const pid_t pid = sleepers.Start(path);
    ASSERT_GT(pid, 0);
    fs::remove(path);
    killProcessByName(Q(name));
    EXPECT_TRUE(sleepers.EndedBySigterm(pid));
}

TEST(RunnerKillByName, NeverSignalsItself) {
    const QString self = imageNameFromExeLink(
        QFile::encodeName(QString::fromStdString(fs::read_symlink("/proc/self/exe").string())));
    ASSERT_FALSE(self.isEmpty());
    const auto matching = matchingProcesses(self);
    // Only the list is checked: other copies of this test may be running.
    EXPECT_EQ(std::count(matching.begin(), matching.end(), qint64(::getpid())), 0);
}

}  // namespace
