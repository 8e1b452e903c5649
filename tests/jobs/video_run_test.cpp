// One video's run, as every front end prepares, reads and ends it.
#include "jobs/video_run.h"

#include "jobs/job.h"
#include "jobs/working_bitmaps.h"
#include "tests/support/gui_environment.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QImage logo() {
    QImage picture(90, 40, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    for (int y = 5; y < 35; ++y)
        for (int x = 0; x < 90; ++x)
            picture.setPixel(x, y, qRgba(230, 40, 20, x < 30 ? 120 : 255));
    return picture;
}

VideoFacts factsOf(QSize coded, int quarterTurns = 0) {
    VideoFacts f;
    f.coded = coded;
    f.orientation.quarterTurns = quarterTurns;
    f.upright = quarterTurns % 2 ? coded.transposed() : coded;
    f.seconds = 20;
    f.durationText = QStringLiteral("00:00:20.00");
    return f;
}

}  // namespace

// The window lays its job on its own drawing and takes every edit back into the job; the queue
// and the command lay the job file on each video. Both must hand the encoder the same mask bytes,
// the same key and the same command line.
TEST(VideoRun, TheWindowAndTheQueuePrepareTheSameRun) {
    QTemporaryDir dir;
    const QString video = dir.filePath("my clip.mp4");  // a space: handed over through an alias
    ASSERT_TRUE(QFile(video).open(QIODevice::WriteOnly));
    const QString picturePath = dir.filePath("logo.png");
    ASSERT_TRUE(logo().save(picturePath));
    TextMark text;
    text.text = QStringLiteral("© {name}");
    text.family = QStringLiteral("DejaVu Sans");
    text.pixelSize = 40;

    const struct {
        const char* name;
        std::function<void(Job&)> edit;
        VideoFacts facts;
    } cases[] = {
        {"bottom right", [](Job&) {}, factsOf({640, 360})},
        {"a margin and size that do not land on whole pixels",
         [](Job& j) {
             j.anchor = Anchor::TopRight;
             j.marginXPercent = 3.7;
             j.marginYPercent = 11.1;
             j.widthPercent = 33.3;
         },
         factsOf({1920, 1080})},
        {"centred, half opaque, a picked key",
         [](Job& j) {
             j.anchor = Anchor::Centre;
             j.marginXPercent = j.marginYPercent = 0;
             j.opacity = 55;
             j.key = QColor(0, 255, 0);
         },
         factsOf({720, 576})},
        {"a phone video turned upright", [](Job& j) { j.anchor = Anchor::BottomLeft; },
         factsOf({1280, 720}, 1)},
        {"a time range, sound and a copy to share",
         [](Job& j) {
             j.range = rules::TimeRange{2.5, 9, 1};
             j.enhanceAudio = true;
             j.output = OutputChoice::Mp4ToShare;
         },
         factsOf({640, 480})},
        {"a text filled for the video",
         [&text](Job& j) {
             j.text = text;
             j.textSizePercent = 4.2;
         },
         factsOf({854, 480})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Job job;
        job.picturePath = picturePath;
        c.edit(job);
        const QImage picture = logo();
        // The queue's and the command's way: the job file laid on the video.
        const Placement queued = placementOf(job, picture, video, c.facts.recorded);
        // The window's way: its document laid on its drawing, an edit taken back into the job.
        Job document = job;
        takePlacement(document, queued);
        const Placement shown = placementOf(document, queued.picture(), queued.text());

        VideoRun fromQueue, fromWindow;
        QString why;
        ASSERT_TRUE(fromQueue.prepare(job, queued, video, c.facts, dir.filePath("wm-my clip.mp4"), &why))
            << why.toStdString();
        ASSERT_TRUE(fromWindow.prepare(document, shown, video, c.facts, dir.filePath("wm-my clip.mp4"), &why))
            << why.toStdString();
        const QByteArray mask = bytesOf(fromQueue.maskPath());
        ASSERT_FALSE(mask.isEmpty());
        EXPECT_EQ(mask, bytesOf(fromWindow.maskPath()));
        EXPECT_EQ(fromQueue.mask().key, fromWindow.mask().key);
        // Each run has a working folder of its own, and the link to a video with a space in its
        // name lies in it; the rest of the line is the same.
        EXPECT_NE(fromQueue.maskPath(), fromWindow.maskPath());
        EXPECT_EQ(QFileInfo(fromQueue.line().video).absolutePath(),
                  QFileInfo(fromQueue.maskPath()).absolutePath());
        QString line = fromWindow.commandLine();
        line.replace(fromWindow.line().mask, fromQueue.line().mask);
        line.replace(fromWindow.line().video, fromQueue.line().video);
        EXPECT_EQ(line, fromQueue.commandLine());
    }
}

TEST(VideoRun, RefusesWhatWouldChangeNothingMarkNothingOrCannotBeNamed) {
    QTemporaryDir dir;
    const QString video = dir.filePath("clip.mp4");
    ASSERT_TRUE(QFile(video).open(QIODevice::WriteOnly));
    Job job;
    QImage clear(40, 20, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    VideoRun run;
    QString why;
    EXPECT_FALSE(run.prepare(job, placementOf(job, clear), video, factsOf({320, 240}), "out.mp4", &why));
    EXPECT_EQ(run.refusal(), VideoRun::Refusal::Unchanged);
    EXPECT_TRUE(why.startsWith("the watermark would leave the video unchanged")) << why.toStdString();
    EXPECT_TRUE(run.maskPath().isEmpty());  // nothing left behind

    EXPECT_FALSE(run.prepare(job, placementOf(job, logo()), dir.filePath("gone.mp4"), factsOf({320, 240}),
                             "out.mp4", &why));
    EXPECT_EQ(run.refusal(), VideoRun::Refusal::UnsafePath);
    EXPECT_EQ(why, "a path cannot be handed to the encoder");

    // A range that starts at or after this video's end would give an unmarked copy.
    for (const double from : {20.0, 45.0}) {
        job.range.from = from;
        EXPECT_FALSE(run.prepare(job, placementOf(job, logo()), video, factsOf({320, 240}), "out.mp4", &why));
        EXPECT_EQ(run.refusal(), VideoRun::Refusal::NothingInRange);
        EXPECT_EQ(why, "the time range starts after this video ends");
        EXPECT_TRUE(run.maskPath().isEmpty());
    }
    job.range.from = 19.5;
    EXPECT_TRUE(run.prepare(job, placementOf(job, logo()), video, factsOf({320, 240}), "out.mp4", &why))
        << why.toStdString();
}

// The one reader of the encoder's progress: lines end in "\r" and may come in any pieces.
TEST(VideoRun, ReadsProgressWhateverThePiecesAndEndsWithoutItsFolder) {
    QTemporaryDir dir;
    const QString video = dir.filePath("clip.mp4");
    ASSERT_TRUE(QFile(video).open(QIODevice::WriteOnly));
    Job job;
    VideoRun run;
    QString why;
    ASSERT_TRUE(
        run.prepare(job, placementOf(job, logo()), video, factsOf({320, 240}), dir.filePath("wm.mp4"), &why));
    const QString folder = QFileInfo(run.maskPath()).absolutePath();
    EXPECT_TRUE(QFileInfo::exists(folder + "/temp.bmp"));

    const QString line1 =
        "frame=  100 fps= 50 q=2.0 size=     100kB time=4.00 bitrate= 200.0kbits/s speed=2.5x\r";
    const QString line2 =
        "frame=  250 fps= 50 q=2.0 size=     300kB time=10.00 bitrate= 240.0kbits/s speed=2.51x\r";
    EXPECT_FALSE(run.take("Input #0, avi, from 'clip.mp4':\n  Duration: 00:00:20.00\n"));
    EXPECT_FALSE(run.take(line1.left(40)));  // half a line is no news
    EXPECT_TRUE(run.take(line1.mid(40) + line2.left(10)));
    EXPECT_EQ(run.progress()->frames, 100);
    EXPECT_DOUBLE_EQ(run.percent(), 20);
    EXPECT_DOUBLE_EQ(*run.speed(), 2.5);
    EXPECT_TRUE(run.take(line2.mid(10)));
    EXPECT_EQ(run.progress()->frames, 250);
    EXPECT_EQ(run.shownPercent(), 50);
    EXPECT_DOUBLE_EQ(*run.speed(), 2.51);

    run.take("\ncheck: 0:20.0, 500 frames, 2 streams\n");
    const RunEnd end = run.finish(0);
    EXPECT_EQ(end.kind, RunEnd::Kind::Done);
    EXPECT_EQ(end.path, dir.filePath("wm.mp4"));
    EXPECT_FALSE(QFileInfo::exists(folder));
}
