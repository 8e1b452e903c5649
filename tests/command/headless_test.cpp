// The program without its windows: the options as a table, then the real
// command on a folder of videos of several sizes and containers, with no
// display: each result has the mark where the job puts it, a stopped run is
// finished by the next one, and bad jobs start nothing.
#include "command/headless.h"
#include "jobs/batch_run.h"
#include "jobs/batch_video.h"
#include "jobs/job.h"
#include "jobs/program_paths.h"
#include "mark/placement.h"

#include "tests/support/gui_environment.h"
#include "tests/support/video_fixtures.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <csignal>

#include <sys/stat.h>

namespace {

const QString kProgram = QStringLiteral(WM_PROGRAM_DIR "/watermark-image");

QString makeLogo(const QTemporaryDir& dir) {
    const QString path = dir.filePath("logo.png");
    QImage logo(40, 20, QImage::Format_ARGB32);
    logo.fill(QColor(255, 0, 0));
    EXPECT_TRUE(logo.save(path, "PNG"));
    return path;
}

// A grey clip, so the red mark stands out whatever the codec does to it.
bool makeGreyClip(const QString& path, const QString& size, double seconds, const QString& codec,
                  const QStringList& extra = {}) {
    int rc = -1;
    // A tone where the options name an audio codec.
    const QStringList sound =
        extra.contains("-c:a") ? QStringList{"-f", "lavfi", "-i", "sine=r=44100"} : QStringList{};
    fixtures::runProgram(
        QStringLiteral("ffmpeg"),
        QStringList{"-v", "error", "-f", "lavfi", "-i",
                    QStringLiteral("color=c=0x808080:s=%1:r=25").arg(size)} +
            sound + QStringList{"-t", QString::number(seconds), "-c:v", codec, "-pix_fmt", "yuv420p"} +
            extra + QStringList{"-y", path},
        &rc);
    return rc == 0;
}

struct CommandRun {
    int exitCode = -1;
    QString out, err;
};

// The command with no display at all.
CommandRun runCommand(const QStringList& args, const std::function<void(QProcess&)>& during = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    p.setProcessEnvironment(env);
    p.start(kProgram, args);
    if (!p.waitForStarted()) return {};
    if (during) during(p);
    p.waitForFinished(120000);
    CommandRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The bounding box of the clearly red pixels of a frame.
QRect redBox(const QImage& frame) {
    QRect box;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const QColor c = frame.pixelColor(x, y);
            if (c.red() > 180 && c.green() < 90 && c.blue() < 90) box |= QRect(x, y, 1, 1);
        }
    return box;
}

}  // namespace

TEST(HeadlessArgs, OptionsAndRefusals) {
    QTemporaryDir dir;
    const QString logo = makeLogo(dir);
    const struct {
        const char* name;
        QStringList args;
        const char* refusal;  // "" when accepted
    } cases[] = {
        {"a job and a folder", {"--job", "a.wmjob", "--jobs", "2", "--replace", "--progress=json", "v"}, ""},
        {"a picture with its placement",
         {"--picture", logo, "--place", "top-left", "--margin=5", "--size", "30", "--opacity", "70", "--key",
          "00FF00", "a.mp4"},
         ""},
        {"save the job only", {"--picture", logo, "--save-job", "x.wmjob"}, ""},
        {"nothing to run", {"--picture", logo}, "no video or folder given"},
        {"neither job nor mark", {"--jobs", "2", "v"}, "give a job"},
        {"job and picture", {"--job", "a.wmjob", "--picture", logo, "v"}, "--job holds"},
        {"job and a placement", {"--job", "a.wmjob", "--size", "10", "v"}, "--job holds"},
        {"unknown option", {"--picture", logo, "--tint", "red", "v"}, "unknown option --tint"},
        {"a text with its look and a time range",
         {"--text", "© {name} {date}", "--font", "DejaVu Sans", "--text-size", "4", "--colour", "ff0000",
          "--edge", "shadow", "--from", "1:05", "--until", "90", "--fade", "2", "a.mp4"},
         ""},
        {"a picture from 2 s on", {"--picture", logo, "--from", "2", "a.mp4"}, ""},
        // The words of the "Text Watermark" window and of the positioning window's time fields.
        {"a text of spaces", {"--text", "  ", "v"}, "--text: Please type the text of the watermark"},
        {"a text of two lines", {"--text", "a\nb", "v"}, "--text: Please type the text on one line"},
        {"a text too long", {"--text", QString(201, u'x'), "v"}, "--text: Please keep the text to 200"},
        {"a colour by name",
         {"--text", "x", "--colour", "red", "v"},
         "--colour: Please use the RRGGBB format"},
        {"a font not here", {"--text", "x", "--font", "No Such Font 31", "v"}, "--font \"No Such Font 31\""},
        {"an edge unknown", {"--text", "x", "--edge", "glow", "v"}, "--edge must be none, outline or shadow"},
        {"letters of 0 %", {"--text", "x", "--text-size", "0", "v"}, "--text-size must be"},
        {"a picture and a text", {"--picture", logo, "--text", "x", "v"}, "the mark is a picture or a text"},
        {"a font without a text",
         {"--picture", logo, "--font", "DejaVu Sans", "v"},
         "--font goes with --text"},
        {"a width for a text", {"--text", "x", "--size", "10", "v"}, "--size is a picture's width"},
        {"From no time", {"--picture", logo, "--from", "1:75", "v"}, "From \"1:75\" is not a time"},
        {"Until before From",
         {"--picture", logo, "--from", "10", "--until", "5", "v"},
         "Until (0:05) must come after From (0:10)."},
        {"From negative", {"--text", "x", "--from", "-1", "v"}, "From cannot be negative."},
        {"fades past the range",
         {"--picture", logo, "--from", "1", "--until", "2", "--fade", "1", "v"},
         "Fade 1 s in and 1 s out is longer than the time from From to Until (1 s)."},
        {"a fade of 11 s", {"--picture", logo, "--fade", "11", "v"}, "Fade must be from 0 to 10 seconds."},
        {"job and a text", {"--job", "a.wmjob", "--text", "x", "v"}, "--job holds"},
        {"job and a time", {"--job", "a.wmjob", "--until", "3", "v"}, "--job holds"},
        {"the files of a job", {"--job", "a.wmjob", "--list-files"}, ""},
        {"what is not done", {"--job", "a.wmjob", "--list-pending", "v"}, ""},
        {"a folder watched", {"--job", "a.wmjob", "--watch", "in", "--output", "out"}, ""},
        {"a watch and videos", {"--job", "a.wmjob", "--watch", "in", "v"}, "--watch takes"},
        {"a watch that replaces", {"--job", "a.wmjob", "--watch", "in", "--replace"}, "--watch goes without"},
        {"a value missing", {"--picture", logo, "v", "--jobs"}, "--jobs needs a value"},
        {"jobs 0", {"--picture", logo, "--jobs", "0", "v"}, "--jobs must be"},
        {"an anchor unknown", {"--picture", logo, "--place", "middle", "v"}, "--place must be"},
        {"margin past half", {"--picture", logo, "--margin", "60", "v"}, "--margin must be"},
        {"size 0", {"--picture", logo, "--size", "0", "v"}, "--size must be"},
        {"opacity 5", {"--picture", logo, "--opacity", "5", "v"}, "--opacity must be"},
        {"key a name", {"--picture", logo, "--key", "red", "v"}, "--key must be"},
        {"a picture gone", {"--picture", dir.filePath("none.png"), "v"}, "--picture"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(isHeadlessCall(c.args));
        QString why;
        const std::optional<HeadlessCall> call = parseHeadlessArgs(c.args, &why);
        EXPECT_EQ(call.has_value(), *c.refusal == '\0') << why.toStdString();
        if (!call) {
            EXPECT_TRUE(why.startsWith(QLatin1String(c.refusal))) << why.toStdString();
        }
    }
    const std::optional<HeadlessCall> call = parseHeadlessArgs(
        {"--picture", logo, "--place", "centre", "--margin", "5", "--size", "30", "a.mp4"}, nullptr);
    ASSERT_TRUE(call && call->job);
    EXPECT_EQ(call->job->anchor, Anchor::Centre);
    EXPECT_EQ(call->job->marginXPercent, 0);  // a centred axis has no margin
    EXPECT_EQ(call->job->widthPercent, 30);
    EXPECT_EQ(call->inputs, QStringList{"a.mp4"});
    // A video is never taken for the command: the windows open it.
    EXPECT_FALSE(isHeadlessCall({"clip.mp4"}));
    EXPECT_FALSE(isHeadlessCall({}));
}

// One run of the encoder describes a whole list: each input's block or its
// reason, in the list's order.
TEST(ProbeOutcomes, EachInputItsBlockOrItsReason) {
    const QString text = QStringLiteral(
        "Input #0, avi, from 'a.avi':\n"
        "  Duration: 00:00:02.00, start: 0.000000, bitrate: 300 kb/s\n"
        "    Stream #0.0: Video: mpeg4, yuv420p, 320x240, 25 fps\n"
        "Input #1: input 'notes.mp4': Invalid data found when processing input\n"
        "Input #2, mov,mp4,m4a,3gp,3g2,mj2, from 'phone.mp4':\n"
        "  Duration: 00:01:00.50, start: 0.000000, bitrate: 900 kb/s\n"
        "    Stream #0.0: Video: h264, yuv420p, 1920x1080, 30 fps\n"
        "      Display: rotate 90, shown 1080x1920\n"
        "At least one output file must be specified\n");
    const std::vector<ProbeOutcome> o = probeOutcomesOf(text, 4);
    ASSERT_EQ(o.size(), 4u);
    ASSERT_TRUE(o[0].facts);
    EXPECT_EQ(o[0].facts->upright, QSize(320, 240));
    EXPECT_DOUBLE_EQ(o[0].facts->seconds, 2);
    EXPECT_FALSE(o[1].facts);
    EXPECT_EQ(o[1].why, QStringLiteral("input 'notes.mp4': Invalid data found when processing input"));
    ASSERT_TRUE(o[2].facts);
    EXPECT_EQ(o[2].facts->coded, QSize(1920, 1080));
    EXPECT_EQ(o[2].facts->upright, QSize(1080, 1920));
    EXPECT_DOUBLE_EQ(o[2].facts->seconds, 60.5);
    EXPECT_FALSE(o[3].facts);  // the encoder ended before it
    EXPECT_FALSE(o[3].why.isEmpty());
}

// Eight videos, four frame sizes (one a phone clip turned by its tag), three
// containers, one job: each result has the mark at the job's place and size.
TEST(HeadlessRun, AFolderWithoutADisplay) {
    QTemporaryDir dir;
    const QString logo = makeLogo(dir);
    const QString videos = dir.filePath("videos");
    ASSERT_TRUE(QDir().mkpath(videos));
    const struct {
        const char* name;
        const char* size;
        const char* codec;
        QStringList extra;
        QSize shown;
    } clips[] = {
        {"a.avi", "320x240", "mpeg4", {"-q:v", "2", "-c:a", "libmp3lame"}, {320, 240}},
        {"b.mp4", "320x240", "libx264", {"-c:a", "aac"}, {320, 240}},
        {"c.mkv", "320x240", "libx264", {}, {320, 240}},
        {"d.avi", "640x360", "mpeg4", {"-q:v", "2"}, {640, 360}},
        {"e.mp4", "640x360", "libx264", {}, {640, 360}},
        {"f.mkv", "256x144", "libx264", {}, {256, 144}},
        {"g.mp4", "256x144", "libx264", {}, {256, 144}},
        {"phone.mp4", "320x240", "libx264", {}, {240, 320}},
    };
    for (const auto& c : clips)
        ASSERT_TRUE(makeGreyClip(QDir(videos).filePath(c.name), c.size, 0.4, c.codec, c.extra)) << c.name;
    // Debian's ffmpeg keeps a rotation tag only on a stream copy.
    int rc = -1;
    fixtures::runProgram("ffmpeg",
                         {"-v", "error", "-i", QDir(videos).filePath("b.mp4"), "-c", "copy",
                          "-metadata:s:v:0", "rotate=90", "-y", QDir(videos).filePath("phone.mp4")},
                         &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_TRUE(fixtures::runProgram("touch", {QDir(videos).filePath("notes.txt")}).isEmpty());

    const QString out = dir.filePath("out");
    const CommandRun run = runCommand({"--picture", logo, "--place", "bottom-right", "--margin", "5",
                                       "--size", "25", "--jobs", "2", "--output", out, videos});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("8 done, 0 skipped, 0 failed, 0 stopped")) << run.out.toStdString();
    for (const auto& c : clips) {
        SCOPED_TRACE(c.name);
        const QString result = QDir(out).filePath(QStringLiteral("wm-") + c.name);
        const QImage frame = fixtures::frameOf(result, 2, c.shown.width(), c.shown.height());
        ASSERT_FALSE(frame.isNull());
        const QRect expected = markRect(QSize(40, 20), Anchor::BottomRight, 0.05, 0.05, 0.25, c.shown).rect;
        const QRect found = redBox(frame);
        // The codecs blur an edge by a pixel at most.
        EXPECT_LE(std::abs(found.left() - expected.left()), 1) << found.x() << "," << found.y();
        EXPECT_LE(std::abs(found.top() - expected.top()), 1) << found.x() << "," << found.y();
        EXPECT_LE(std::abs(found.right() - expected.right()), 1) << found.width();
        EXPECT_LE(std::abs(found.bottom() - expected.bottom()), 1) << found.height();
        // The sound is the source's, packet for packet.
        if (c.extra.contains("-c:a")) {
            const auto audio = [](const QString& file) {
                return fixtures::runProgram(
                    "ffmpeg", {"-v", "error", "-i", file, "-map", "0:a", "-c", "copy", "-f", "md5", "-"});
            };
            EXPECT_EQ(audio(result), audio(QDir(videos).filePath(c.name)));
            EXPECT_FALSE(audio(result).isEmpty());
        }
    }
}

// Stopped halfway by SIGTERM, then run again: nothing lost, nothing done
// twice, the interrupted one finished.
TEST(HeadlessRun, ASecondRunFinishesWhatAStoppedOneLeft) {
    QTemporaryDir dir;
    const QString logo = makeLogo(dir);
    QStringList inputs;
    for (const char* name : {"one.mp4", "two.mp4", "three.mp4"}) {
        inputs << dir.filePath(name);
        int rc = -1;
        // Long and busy enough that the stop lands while the second is converted.
        fixtures::runProgram("ffmpeg",
                             {"-v", "error", "-f", "lavfi", "-i", "testsrc2=s=1280x720:r=25", "-t",
                              name == QLatin1String("one.mp4") ? "0.4" : "8", "-c:v", "libx264", "-preset",
                              "ultrafast", "-y", inputs.back()},
                             &rc);
        ASSERT_EQ(rc, 0);
    }
    const QString out = dir.filePath("out");
    const QStringList job{"--picture", logo, "--output", out, "--progress=json"};

    const CommandRun first = runCommand(job + inputs, [](QProcess& p) {
        QByteArray seen;
        for (;;) {
            if (!p.canReadLine() && !p.waitForReadyRead(30000)) return;
            while (p.canReadLine()) {
                const QJsonObject o = QJsonDocument::fromJson(p.readLine()).object();
                if (o["file"].toString().endsWith("two.mp4") && o["state"] == "converting" &&
                    o["percent"].toDouble() > 0) {
                    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
                    return;
                }
            }
        }
    });
    EXPECT_EQ(first.exitCode, 143) << first.out.toStdString() << first.err.toStdString();
    const QString done = QDir(out).filePath("wm-one.mp4");
    ASSERT_TRUE(QFileInfo::exists(done));
    const QDateTime doneAt = QFileInfo(done).lastModified();
    const double part = fixtures::durationOf(QDir(out).filePath("wm-two-stopped.mp4"));
    EXPECT_GT(part, 0);
    EXPECT_LT(part, 8);
    EXPECT_FALSE(QFileInfo::exists(QDir(out).filePath("wm-two.mp4")));
    EXPECT_FALSE(QFileInfo::exists(QDir(out).filePath("wm-three.mp4")));

    const CommandRun second = runCommand(job + inputs);
    EXPECT_EQ(second.exitCode, 0) << second.out.toStdString() << second.err.toStdString();
    EXPECT_EQ(QFileInfo(done).lastModified(), doneAt);
    EXPECT_TRUE(second.out.contains("\"skipped\":1")) << second.out.toStdString();
    EXPECT_TRUE(second.out.contains("\"done\":2")) << second.out.toStdString();
    EXPECT_NEAR(fixtures::durationOf(QDir(out).filePath("wm-two.mp4")), 8, 0.1);
    EXPECT_NEAR(fixtures::durationOf(QDir(out).filePath("wm-three.mp4")), 8, 0.1);
}

// Bad jobs start nothing (exit 2, the cause named); a video that is not one
// fails its own row only.
TEST(HeadlessRun, BadJobsStartNothing) {
    QTemporaryDir dir;
    const QString logo = makeLogo(dir);
    const QString video = dir.filePath("clip.mp4");
    ASSERT_TRUE(makeGreyClip(video, "160x120", 0.2, "libx264"));
    const QString good = dir.filePath("good.wmjob");
    ASSERT_EQ(runCommand({"--picture", logo, "--save-job", good}).exitCode, 0);
    QFile goodFile(good);
    ASSERT_TRUE(goodFile.open(QIODevice::ReadOnly));
    const QJsonObject job = QJsonDocument::fromJson(goodFile.readAll()).object();

    const auto jobWith = [&](const char* name, const std::function<void(QJsonObject&)>& edit) {
        QJsonObject o = job;
        edit(o);
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QJsonDocument(o).toJson());
        return f.fileName();
    };
    QImage changed(40, 20, QImage::Format_ARGB32);
    changed.fill(Qt::blue);
    const QString changedLogo = dir.filePath("changed.png");
    ASSERT_TRUE(changed.save(changedLogo, "PNG"));
    const QString blocker = dir.filePath("a file");
    ASSERT_TRUE(fixtures::runProgram("touch", {blocker}).isEmpty());

    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    const QString out = dir.filePath("out");
    const struct {
        const char* name;
        QStringList args;
        const char* says;
    } cases[] = {
        {"version 99",
         {"--job", jobWith("v99.wmjob", [](QJsonObject& o) { o["version"] = 99; })},
         "\"version\" 99"},
        {"no placement",
         {"--job", jobWith("np.wmjob", [](QJsonObject& o) { o.remove("placement"); })},
         "\"placement\" is missing"},
        {"opacity as text",
         {"--job", jobWith("op.wmjob", [](QJsonObject& o) { o["opacity_percent"] = "70"; })},
         "\"opacity_percent\" must be a number"},
        {"a picture gone",
         {"--job", jobWith("gone.wmjob",
                           [&](QJsonObject& o) {
                               QJsonObject p = o["picture"].toObject();
                               p["path"] = dir.filePath("gone.png");
                               o["picture"] = p;
                           })},
         "\"picture.path\""},
        {"a picture changed",
         {"--job", jobWith("changed.wmjob",
                           [&](QJsonObject& o) {
                               QJsonObject p = o["picture"].toObject();
                               p["path"] = changedLogo;
                               o["picture"] = p;
                           })},
         "\"picture.sha256\""},
        {"not a job", {"--job", video}, "not JSON"},
        // What is no regular file is refused at once: a pipe would hang the read, a device never end it.
        {"a pipe as the job", {"--job", fifo}, "is not a regular file"},
        {"a device as the job", {"--job", "/dev/zero"}, "is not a regular file"},
        {"a folder as the job", {"--job", dir.path()}, "is a folder"},
        {"a pipe as the picture", {"--picture", fifo}, "is not a regular file"},
        {"a folder as the job's picture",
         {"--job", jobWith("folder.wmjob",
                           [&](QJsonObject& o) {
                               QJsonObject p = o["picture"].toObject();
                               p["path"] = dir.path();
                               o["picture"] = p;
                           })},
         "is a folder"},
        {"a range over before it starts",
         {"--job",
          jobWith("until0.wmjob",
                  [](QJsonObject& o) {
                      o["time_range"] = QJsonObject{{"from", QJsonValue::Null}, {"until", 0}, {"fade", 0}};
                  })},
         "\"until\" must come after"},
        {"a results folder that cannot be",
         {"--job", good, "--output", blocker + "/out"},
         "cannot be written"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList output = c.args.contains("--output") ? QStringList() : QStringList{"--output", out};
        const CommandRun r = runCommand(c.args + output + QStringList{video});
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.says))) << r.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out)) << "something was written";
    }

    const QString text = dir.filePath("notes.mp4");
    ASSERT_TRUE(fixtures::runProgram("touch", {text}).isEmpty());
    const CommandRun mixed = runCommand({"--job", good, "--output", out, text, video});
    EXPECT_EQ(mixed.exitCode, 1) << mixed.out.toStdString();
    EXPECT_TRUE(mixed.out.contains("failed  notes.mp4: ")) << mixed.out.toStdString();
    EXPECT_TRUE(mixed.out.contains("1 done, 0 skipped, 1 failed")) << mixed.out.toStdString();
    // A range that starts after this video ends would make an unmarked copy: from a job and from the
    // command line.
    const QString lateJob = jobWith("late.wmjob", [](QJsonObject& o) {
        o["time_range"] = QJsonObject{{"from", 5}, {"until", QJsonValue::Null}, {"fade", 0}};
    });
    for (const QStringList& mark :
         {QStringList{"--job", lateJob}, QStringList{"--picture", logo, "--from", "5"}}) {
        const CommandRun late = runCommand(mark + QStringList{"--output", dir.filePath("late"), video});
        EXPECT_EQ(late.exitCode, 1) << late.out.toStdString();
        EXPECT_TRUE(late.out.contains("failed  clip.mp4: the time range starts after this video ends"))
            << late.out.toStdString();
    }
    // Alone too, the row says the encoder's own reason.
    const CommandRun alone = runCommand({"--job", good, "--output", out, text});
    EXPECT_EQ(alone.exitCode, 1) << alone.out.toStdString();
    EXPECT_TRUE(alone.out.contains("failed  notes.mp4: input '")) << alone.out.toStdString();
}

// Two runs at once, each with its own logo: each result carries its own,
// as each run builds its masks in a working folder of its own.
TEST(HeadlessRun, TwoRunsAtOnceKeepTheirOwnMarks) {
    QTemporaryDir dir;
    const struct {
        const char* logo;
        QColor colour;
        const char* video;
    } runs[] = {{"red.png", QColor(255, 0, 0), "first.mp4"}, {"blue.png", QColor(0, 0, 255), "second.mp4"}};
    for (const auto& r : runs) {
        QImage logo(40, 20, QImage::Format_ARGB32);
        logo.fill(r.colour);
        ASSERT_TRUE(logo.save(dir.filePath(r.logo), "PNG"));
        ASSERT_TRUE(makeGreyClip(dir.filePath(r.video), "320x240", 3, "libx264"));
    }
    const QString out = dir.filePath("out");
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const auto& r : runs) {
        auto p = std::make_unique<QProcess>();
        p->start(kProgram, {"--picture", dir.filePath(r.logo), "--place", "top-left", "--margin", "5",
                            "--size", "25", "--output", out, dir.filePath(r.video)});
        processes.push_back(std::move(p));
    }
    for (auto& p : processes) {
        ASSERT_TRUE(p->waitForFinished(60000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    for (const auto& r : runs) {
        SCOPED_TRACE(r.video);
        const QImage frame =
            fixtures::frameOf(QDir(out).filePath(QStringLiteral("wm-") + r.video), 40, 320, 240);
        ASSERT_FALSE(frame.isNull());
        const QColor c = frame.pixelColor(40, 25);
        EXPECT_NEAR(c.red(), r.colour.red(), 40) << c.name().toStdString();
        EXPECT_NEAR(c.blue(), r.colour.blue(), 40) << c.name().toStdString();
    }
}

// Copies to share of two videos of one name: each its own .mp4, in H.264 and AAC; the job saved on
// the way runs the same copies, so a second run finds them done.
TEST(HeadlessRun, CopiesToShareFromAJob) {
    QTemporaryDir dir;
    const QString logo = makeLogo(dir);
    ASSERT_TRUE(QDir(dir.path()).mkpath("a") && QDir(dir.path()).mkpath("b"));
    ASSERT_TRUE(makeGreyClip(dir.filePath("a/clip.mkv"), "320x240", 2, "libx264", {"-c:a", "flac"}));
    ASSERT_TRUE(makeGreyClip(dir.filePath("b/clip.avi"), "320x240", 2, "mpeg4", {"-c:a", "mp3"}));
    const QString out = dir.filePath("out"), job = dir.filePath("share.wmjob");
    const CommandRun first = runCommand({"--picture", logo, "--place", "top-left", "--margin", "5", "--size",
                                         "25", "--share", "--save-job", job, "--output", out,
                                         dir.filePath("a/clip.mkv"), dir.filePath("b/clip.avi")});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    for (const char* name : {"wm-clip.mp4", "wm-clip (2).mp4"}) {
        SCOPED_TRACE(name);
        const QString result = QDir(out).filePath(QString::fromUtf8(name));
        const QString streams = QString::fromUtf8(fixtures::runProgram(
            "ffprobe", {"-v", "error", "-show_entries", "stream=codec_name", "-of", "csv=p=0", result}));
        EXPECT_EQ(streams.split(u'\n', Qt::SkipEmptyParts), (QStringList{"h264", "aac"}));
        const QImage frame = fixtures::frameOf(result, 10, 320, 240);
        ASSERT_FALSE(frame.isNull());
        EXPECT_GT(frame.pixelColor(30, 20).red(), 180);
    }
    const CommandRun second = runCommand({"--job", job, "--output", out, "--progress=json",
                                          dir.filePath("a/clip.mkv"), dir.filePath("b/clip.avi")});
    ASSERT_EQ(second.exitCode, 0) << second.err.toStdString();
    EXPECT_TRUE(second.out.contains("\"skipped\":2")) << second.out.toStdString();
}

// A job whose mark shows for the first second of a 4 s clip with a key frame a second: the encoder
// re-encodes that second alone, and the JSON progress carries what it re-encoded.
TEST(HeadlessRun, JsonProgressSaysWhatASmartRunReencoded) {
    QTemporaryDir dir;
    const QString logo = makeLogo(dir);
    ASSERT_TRUE(
        makeGreyClip(dir.filePath("intro.mp4"), "320x240", 4, "libx264", {"-g", "25", "-c:a", "aac"}));
    const QString out = dir.filePath("out"), job = dir.filePath("intro.wmjob");
    const CommandRun saved = runCommand(
        {"--picture", logo, "--place", "top-left", "--margin", "5", "--size", "25", "--save-job", job});
    ASSERT_EQ(saved.exitCode, 0) << saved.err.toStdString();
    QFile file(job);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    o["time_range"] = QJsonObject{{"from", QJsonValue()}, {"until", 1}, {"fade", 0}};
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(o).toJson());
    file.close();
    const CommandRun run =
        runCommand({"--job", job, "--output", out, "--progress=json", dir.filePath("intro.mp4")});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    bool said = false;
    for (const QString& line : run.out.split(u'\n', Qt::SkipEmptyParts)) {
        const QJsonObject p = QJsonDocument::fromJson(line.toUtf8()).object();
        if (p["state"] == QStringLiteral("done"))
            said = p["reencoded"] == QStringLiteral("re-encoded 0:00\u20130:01 of 0:04, the rest copied");
    }
    EXPECT_TRUE(said) << run.out.toStdString();
}

// Whatever it is asked, the command answers: with no display it never aborts.
TEST(HeadlessRun, AnswersEveryCallWithoutADisplay) {
    const struct {
        QStringList args;
        int exitCode;
        const char* out;  // the start of what it prints on standard output
        const char* err;  // a part of what it prints on standard error
    } cases[] = {
        {{"-h"}, 0, "Usage: watermark-image", ""},
        {{"--help"}, 0, "Usage: watermark-image", ""},
        {{"--version"}, 0, "watermark-image 1.", ""},
        {{"--jbo", "x.wmjob"}, 2, "", "unknown option --jbo"},
        {{"--job"}, 2, "", "--job needs a value"},
        {{"clip.mp4"}, 2, "", "the windows need a display"},
        {{}, 2, "", "watermark-image --job FILE.wmjob VIDEO|FOLDER..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CommandRun run = runCommand(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_TRUE(*c.out == 0 || run.out.startsWith(QLatin1String(c.out))) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String(c.err))) << run.err.toStdString();
    }
}

// A text job draws its letters with no display at all, and the result is the queue's, frame for frame.
TEST(HeadlessRun, ATextJobWithoutADisplayIsTheQueues) {
    QTemporaryDir dir;
    const QString video = dir.filePath("beach day.mp4");
    ASSERT_TRUE(makeGreyClip(video, "320x240", 0.4, "libx264"));
    Job job;
    TextMark text;
    text.text = QStringLiteral("© {name} {date}");
    text.family = QStringLiteral("DejaVu Sans");
    text.colour = QColor(255, 0, 0);
    job.text = text;
    job.textSizePercent = 6;
    job.anchor = Anchor::TopLeft;
    const QString jobFile = dir.filePath("text.wmjob");
    QString why;
    ASSERT_TRUE(writeJobFile(jobFile, job, &why)) << why.toStdString();

    const CommandRun run = runCommand({"--job", jobFile, "--output", dir.filePath("command"), video});
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();

    // The queue's engine, in this process, with the program's encoder.
    setProgramFolderForTesting(QStringLiteral(WM_PROGRAM_DIR));
    const auto restore = qScopeGuard([] { setProgramFolderForTesting(QString()); });
    BatchOptions options;
    options.outputFolder = dir.filePath("queue");
    const std::optional<QImage> picture = loadJobPicture(*readJobFile(jobFile, &why), &why);
    ASSERT_TRUE(picture) << why.toStdString();
    BatchRun queue(*readJobFile(jobFile, &why), *picture, {video}, options);
    while (queue.step(200)) {}
    ASSERT_EQ(queue.videos()[0].state, VideoState::Done) << queue.videos()[0].message.toStdString();

    const auto frames = [](const QString& file) {
        return fixtures::runProgram("ffmpeg",
                                    {"-v", "error", "-i", file, "-map", "0:v", "-f", "framemd5", "-"});
    };
    const QByteArray fromCommand = frames(dir.filePath("command/wm-beach day.mp4"));
    EXPECT_FALSE(fromCommand.isEmpty());
    EXPECT_EQ(fromCommand, frames(dir.filePath("queue/wm-beach day.mp4")));
    // And the letters are there: red where the source is grey.
    const QImage frame = fixtures::frameOf(dir.filePath("command/wm-beach day.mp4"), 2, 320, 240);
    EXPECT_FALSE(redBox(frame).isEmpty());
}

// What the command line says of a text and a time range, --save-job writes; the job then tells a
// script the files it needs and what is left to convert, under the names the run would give.
TEST(HeadlessRun, TextAndRangeSavedAndListed) {
    QTemporaryDir dir;
    const QString textJob = dir.filePath("text.wmjob");
    const CommandRun saved = runCommand({"--text",  "© {name} {date}", "--font", "DejaVu Sans", "--text-size",
                                         "4",       "--colour",        "ff0000", "--edge",      "shadow",
                                         "--place", "top-left",        "--from", "1:05",        "--until",
                                         "90",      "--fade",          "2",      "--share",     "--save-job",
                                         textJob});
    ASSERT_EQ(saved.exitCode, 0) << saved.err.toStdString();
    QString why;
    const std::optional<Job> job = readJobFile(textJob, &why);
    ASSERT_TRUE(job) << why.toStdString();
    ASSERT_TRUE(job->text);
    EXPECT_EQ(job->text->text, QStringLiteral("© {name} {date}"));
    EXPECT_EQ(job->text->family, QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(job->text->colour, QColor(255, 0, 0));
    EXPECT_EQ(job->text->edge, TextMark::Edge::Shadow);
    EXPECT_EQ(job->textSizePercent, 4);
    EXPECT_EQ(job->anchor, Anchor::TopLeft);
    EXPECT_EQ(job->range.from, 65);
    EXPECT_EQ(job->range.until, 90);
    EXPECT_EQ(job->range.fade, 2);
    EXPECT_EQ(job->output, OutputChoice::Mp4ToShare);

    // A picture job whose picture moved beside it from elsewhere still runs: the checksum says it is the one.
    ASSERT_TRUE(QDir(dir.path()).mkpath("jobs"));
    const QString logo = makeLogo(dir), pictureJob = dir.filePath("jobs/logo.wmjob");
    ASSERT_EQ(runCommand({"--picture", logo, "--save-job", pictureJob}).exitCode, 0);
    ASSERT_TRUE(QFile::rename(logo, dir.filePath("jobs/logo.png")));
    const CommandRun files = runCommand({"--job", pictureJob, "--list-files"});
    EXPECT_EQ(files.exitCode, 0) << files.err.toStdString();
    EXPECT_EQ(files.out, dir.filePath("jobs/logo.png") + "\n");
    EXPECT_EQ(runCommand({"--job", textJob, "--list-files"}).out, QString());

    // What is left: a video with no result yet and its result's name; one with its result is done.
    const QString out = dir.filePath("out");
    ASSERT_TRUE(QDir(dir.path()).mkpath("out"));
    const QString a = dir.filePath("say \"hi\".mkv"), b = dir.filePath("Привет.avi");
    ASSERT_TRUE(fixtures::runProgram("touch", {a, b, QDir(out).filePath("wm-Привет.mp4")}).isEmpty());
    const CommandRun pending = runCommand({"--job", textJob, "--output", out, "--list-pending", a, b});
    EXPECT_EQ(pending.exitCode, 0) << pending.err.toStdString();
    EXPECT_EQ(pending.out, a + "\nwm-say \"hi\".mp4\n");
    EXPECT_EQ(QDir(out).entryList(QDir::Files), QStringList{"wm-Привет.mp4"}) << "listing wrote something";
}
