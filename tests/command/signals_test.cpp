// The command stopped the ways a terminal, a logout, a scheduler and a user
// stop it: each keeps a playable, checked part with what was converted up to
// the signal, and exits with 128 + the signal. Every signal goes only to the
// processes this test started (the command's own process group).
#include "command/headless.h"
#include "tests/support/video_fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

namespace {

const QString kProgram = QStringLiteral(WM_PROGRAM_DIR "/watermark-image");

struct Ended {
    int exitCode = -1;
    QString output;
};

// The seconds of video a file plays, and whether it decodes without a word from ffmpeg.
double playedSeconds(const QString& file, bool* clean) {
    int rc = -1;
    const QByteArray errors =
        fixtures::runProgram("sh", {"-c", "ffmpeg -v error -i \"$0\" -f null - 2>&1", file}, &rc);
    if (clean) *clean = rc == 0 && errors.trimmed().isEmpty();
    return fixtures::durationOf(file);
}

// Runs the command with `args`, its standard streams on `fd` (a pipe's or a
// terminal's end); once `ready` says so of what it printed, `act` gets its pid.
Ended runUntil(pid_t pid, int fd, const std::function<bool(const QString&)>& ready,
               const std::function<void(pid_t)>& act) {
    Ended e;
    bool acted = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            char buffer[4096];
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got > 0) e.output += QString::fromUtf8(buffer, static_cast<qsizetype>(got));
        }
        if (!acted && ready(e.output)) {
            acted = true;
            act(pid);
        }
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            e.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            break;
        }
    }
    // What the terminal still held.
    char buffer[4096];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
        e.output += QString::fromUtf8(buffer, static_cast<qsizetype>(got));
    return e;
}

std::vector<std::string> argvOf(const QStringList& args) {
    std::vector<std::string> out{kProgram.toStdString()};
    for (const QString& a : args)
        out.push_back(a.toStdString());
    return out;
}

void execCommand(const std::vector<std::string>& argv) {
    std::vector<char*> raw;
    for (const std::string& a : argv)
        raw.push_back(const_cast<char*>(a.c_str()));
    raw.push_back(nullptr);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("QT_QPA_PLATFORM");
    ::execv(raw[0], raw.data());
    ::_exit(127);
}

// The command in a process group of its own, its output on a pipe.
Ended runInItsGroup(const QStringList& args, const std::function<bool(const QString&)>& ready,
                    const std::function<void(pid_t)>& act) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    const std::vector<std::string> argv = argvOf(args);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::dup2(pipeFds[1], STDERR_FILENO);
        execCommand(argv);
    }
    ::setpgid(pid, pid);
    ::close(pipeFds[1]);
    ::fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
    Ended e = runUntil(pid, pipeFds[0], ready, act);
    ::close(pipeFds[0]);
    return e;
}

// The per cent the JSON progress said last of the video.
double lastPercent(const QString& output) {
    double percent = 0;
    for (const QString& line : output.split(u'\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        if (o.value("state").toString() == "converting") percent = o.value("percent").toDouble();
    }
    return percent;
}

class CommandSignals : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new QTemporaryDir;
        video_ = dir_->filePath("long clip.mp4");
        ASSERT_TRUE(fixtures::runProgram("ffmpeg", {"-v",       "error",
                                                    "-f",       "lavfi",
                                                    "-i",       "testsrc2=size=1280x720:rate=25:duration=30",
                                                    "-f",       "lavfi",
                                                    "-i",       "sine=duration=30",
                                                    "-c:v",     "libx264",
                                                    "-preset",  "ultrafast",
                                                    "-pix_fmt", "yuv420p",
                                                    "-c:a",     "aac",
                                                    "-y",       video_})
                        .isEmpty());
        QImage logo(60, 30, QImage::Format_RGB32);
        logo.fill(QColor(255, 0, 0));
        logo_ = dir_->filePath("logo.png");
        ASSERT_TRUE(logo.save(logo_));
    }
    static void TearDownTestSuite() { delete dir_; }

    // The part a stopped run kept: playable, checked by the encoder, with at
    // least what was converted a second before the signal.
    static void expectPart(const QString& out, double secondsAtSignal) {
        const QString part = QDir(out).filePath("wm-long clip-stopped.mp4");
        ASSERT_TRUE(QFileInfo::exists(part)) << QDir(out).entryList().join(' ').toStdString();
        EXPECT_FALSE(QFileInfo::exists(QDir(out).filePath("wm-long clip.mp4")));
        bool clean = false;
        const double played = playedSeconds(part, &clean);
        EXPECT_TRUE(clean);
        EXPECT_GE(played, secondsAtSignal - 1.0);
    }

    static inline QTemporaryDir* dir_ = nullptr;
    static inline QString video_, logo_;
};

}  // namespace

// SIGINT, SIGTERM and SIGHUP to the command's whole process group (the
// command and its encoder at once, as a terminal or a logout delivers them),
// and SIGTERM followed 5 s later by SIGKILL, as a session manager does.
TEST_F(CommandSignals, AGroupSignalKeepsThePart) {
    const struct {
        const char* name;
        int signal;
        bool killAfter;
    } cases[] = {{"SIGINT", SIGINT, false},
                 {"SIGTERM", SIGTERM, false},
                 {"SIGHUP", SIGHUP, false},
                 {"SIGTERM then SIGKILL", SIGTERM, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString out = dir_->filePath(QStringLiteral("out-%1").arg(c.signal + 100 * c.killAfter));
        const Ended e = runInItsGroup(
            {"--picture", logo_, "--output", out, "--progress=json", video_},
            [](const QString& text) { return lastPercent(text) >= 15; },
            [&](pid_t pid) {
                ::kill(-pid, c.signal);
                if (c.killAfter) {
                    std::this_thread::sleep_for(std::chrono::seconds(5));
                    ::kill(-pid, SIGKILL);
                }
            });
        // Done before the SIGKILL came, or killed by it: the part is what counts.
        if (c.killAfter) {
            EXPECT_TRUE(e.exitCode == 128 + SIGTERM || e.exitCode == 128 + SIGKILL) << e.exitCode;
        } else {
            EXPECT_EQ(e.exitCode, 128 + c.signal) << e.output.toStdString();
            EXPECT_TRUE(e.output.contains("\"state\":\"stopped\"")) << e.output.toStdString();
        }
        expectPart(out, 0.15 * 30);
    }
}

// Ctrl+C in the terminal the command runs in: the terminal's SIGINT reaches
// the command and its encoder at once. At a terminal it also shows a line per
// running video while it works.
TEST_F(CommandSignals, CtrlCAtATerminal) {
    const QString out = dir_->filePath("out-terminal");
    const std::vector<std::string> argv = argvOf({"--picture", logo_, "--output", out, video_});
    int master = -1;
    winsize size{24, 100, 0, 0};
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, &size);
    ASSERT_GE(pid, 0);
    if (pid == 0) execCommand(argv);
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    static const QRegularExpression status(QStringLiteral("converting  long clip.mp4  ([0-9]+) %"));
    const Ended e = runUntil(
        pid, master,
        [](const QString& text) {
            QRegularExpressionMatchIterator it = status.globalMatch(text);
            int last = 0;
            while (it.hasNext())
                last = it.next().captured(1).toInt();
            return last >= 15;
        },
        [&](pid_t) {
            const char ctrlC = 0x03;
            ASSERT_EQ(::write(master, &ctrlC, 1), 1);
        });
    ::close(master);
    EXPECT_EQ(e.exitCode, 128 + SIGINT) << e.output.toStdString();
    EXPECT_TRUE(e.output.contains("stopped  long clip.mp4")) << e.output.toStdString();
    expectPart(out, 0.15 * 30);
}

TEST(TerminalStatus, ALinePerRunningVideo) {
    std::vector<BatchVideo> videos(3);
    videos[0].path = "/v/a.mp4";
    videos[0].state = VideoState::Converting;
    videos[0].percent = 42.7;
    videos[0].speed = 2.3;
    videos[0].seconds = 100;
    videos[1].path = "/v/b.mp4";
    videos[1].state = VideoState::Done;
    videos[2].path = "/v/a very long name indeed.mp4";
    videos[2].state = VideoState::Converting;
    const QStringList lines = progressLines(videos, 40);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "converting  a.mp4  42 %  2.3x, about 0…");
    EXPECT_EQ(lines[1], "converting  a very long name indeed.mp…");
    for (const QString& l : lines)
        EXPECT_LT(l.size(), 40);
}
