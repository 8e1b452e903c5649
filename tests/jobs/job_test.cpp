// The job file: what is saved comes back the same, and a file this version
// cannot run is refused with the field that is wrong.
#include "jobs/job.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <functional>

#include <sys/stat.h>

namespace {

Job sample(const QString& picture) {
    Job job;
    job.picturePath = picture;
    job.pictureSha256 = fileSha256(picture);
    job.anchor = Anchor::Bottom;
    job.marginXPercent = 0;
    job.marginYPercent = 4.5;
    job.widthPercent = 12.25;
    job.key = QColor(0x12, 0xab, 0xef);
    job.opacity = 70;
    job.enhanceAudio = true;
    job.outputFolder = QStringLiteral("/srv/out put");
    job.prefix = QStringLiteral("logo-");
    return job;
}

QString writePicture(const QTemporaryDir& dir) {
    const QString path = dir.filePath("logo.png");
    QImage img(40, 20, QImage::Format_ARGB32);
    img.fill(QColor(200, 10, 10, 128));
    EXPECT_TRUE(img.save(path, "PNG"));
    return path;
}

}  // namespace

TEST(JobFile, WhatIsSavedComesBackAndPlacesTheSame) {
    QTemporaryDir dir;
    const Job job = sample(writePicture(dir));
    QString why;
    const std::optional<Job> back = jobFromJson(jobToJson(job), &why);
    ASSERT_TRUE(back) << why.toStdString();
    EXPECT_EQ(*back, job);
    Job programsKey = job;
    programsKey.key.reset();
    EXPECT_EQ(*jobFromJson(jobToJson(programsKey), &why), programsKey);

    const std::optional<QImage> picture = loadJobPicture(job, &why);
    ASSERT_TRUE(picture) << why.toStdString();
    const Placement p = placementOf(job, *picture);
    // 12.25 % of 1000 is 123 wide, 62 high by the aspect; centred across, 23 up from the bottom.
    EXPECT_EQ(p.rectIn(QSize(1000, 500)).rect, QRect(438, 415, 123, 62));
    const Job again = jobOf(p, job.picturePath);
    EXPECT_EQ(again.anchor, job.anchor);
    EXPECT_DOUBLE_EQ(again.marginYPercent, job.marginYPercent);
    EXPECT_DOUBLE_EQ(again.widthPercent, job.widthPercent);
    EXPECT_EQ(again.key, job.key);
    EXPECT_EQ(again.pictureSha256, job.pictureSha256);
}

// A job of what version 1 knew is written as version 1, so an older program still runs it; a copy
// to share needs version 2.
TEST(JobFile, ItIsWrittenInTheOldestVersionThatHoldsIt) {
    QTemporaryDir dir;
    Job job = sample(writePicture(dir));
    const QJsonObject same = QJsonDocument::fromJson(jobToJson(job)).object();
    EXPECT_EQ(same["version"].toInt(), 1);
    EXPECT_FALSE(same["output"].toObject().contains("kind"));

    job.output = OutputChoice::Mp4ToShare;
    const QJsonObject share = QJsonDocument::fromJson(jobToJson(job)).object();
    EXPECT_EQ(share["version"].toInt(), 2);
    EXPECT_EQ(share["output"].toObject()["kind"].toString(), "share");
    QString why;
    const std::optional<Job> back = jobFromJson(jobToJson(job), &why);
    ASSERT_TRUE(back) << why.toStdString();
    EXPECT_EQ(*back, job);
}

Job textJob() {
    Job job;
    TextMark t;
    t.text = QStringLiteral("© {name} {date}");
    t.family = QStringLiteral("DejaVu Sans");
    t.pixelSize = 24;
    t.colour = QColor(0xff, 0xee, 0x10);
    t.edge = TextMark::Edge::Shadow;
    job.text = t;
    job.textSizePercent = 2.5;
    job.anchor = Anchor::TopRight;
    job.range = {2.0, 6.5, 1};
    return job;
}

// A text and a time range need version 2 and come back as they were.
TEST(JobFile, ATextAndATimeRangeComeBack) {
    const Job job = textJob();
    const QJsonObject json = QJsonDocument::fromJson(jobToJson(job)).object();
    EXPECT_EQ(json["version"].toInt(), 2);
    EXPECT_FALSE(json.contains("picture"));
    EXPECT_FALSE(json["placement"].toObject().contains("width_percent"));
    QString why;
    const std::optional<Job> back = jobFromJson(jobToJson(job), &why);
    ASSERT_TRUE(back) << why.toStdString();
    EXPECT_EQ(*back, job);
    Job open = job;
    open.range = {std::nullopt, 30.0, 0};
    EXPECT_EQ(*jobFromJson(jobToJson(open), &why), open);
}

TEST(JobFile, RefusalsNameTheField) {
    QTemporaryDir dir;
    const QString picture = writePicture(dir);
    const QJsonObject good = QJsonDocument::fromJson(jobToJson(sample(picture))).object();
    using Edit = std::function<void(QJsonObject&)>;
    const auto inner = [](const char* object, const char* key, QJsonValue value) -> Edit {
        return [=](QJsonObject& o) {
            QJsonObject sub = o.value(QLatin1String(object)).toObject();
            if (value.isUndefined())
                sub.remove(QLatin1String(key));
            else
                sub.insert(QLatin1String(key), value);
            o.insert(QLatin1String(object), sub);
        };
    };
    const struct {
        const char* name;
        Edit edit;
        const char* says;
    } cases[] = {
        {"version 99", [](QJsonObject& o) { o["version"] = 99; }, "\"version\" 99 is newer"},
        {"version as text", [](QJsonObject& o) { o["version"] = "1"; }, "\"version\" must be a number"},
        {"no format", [](QJsonObject& o) { o.remove("format"); }, "\"format\" is missing"},
        {"no picture", [](QJsonObject& o) { o.remove("picture"); }, "\"picture\" is missing"},
        {"picture path a number", inner("picture", "path", 7), "\"picture.path\" must be a string"},
        {"short checksum", inner("picture", "sha256", "abc"), "\"picture.sha256\" must be 64"},
        {"checksum not hex", inner("picture", "sha256", QString(64, u'g')), "\"picture.sha256\" must be 64"},
        {"unknown anchor", inner("placement", "anchor", "middle"), "\"placement.anchor\" must be top-left"},
        // A file says each place the one way it is written.
        {"anchor center", inner("placement", "anchor", "center"), "\"placement.anchor\" must be top-left"},
        {"anchor in capitals", inner("placement", "anchor", "TOP-LEFT"),
         "\"placement.anchor\" must be top-left"},
        {"anchor with a space", inner("placement", "anchor", " top"),
         "\"placement.anchor\" must be top-left"},
        {"no width", inner("placement", "width_percent", QJsonValue::Undefined),
         "\"placement.width_percent\" is missing"},
        {"width 0", inner("placement", "width_percent", 0), "\"placement.width_percent\" must be from"},
        {"margin as text", inner("placement", "margin_x_percent", "3"),
         "\"placement.margin_x_percent\" must be a number"},
        {"bad key", [](QJsonObject& o) { o["key_colour"] = "red"; }, "\"key_colour\" must be six"},
        // The spellings --key refuses: a prefix, a sign, a space.
        {"key 0x00ff", [](QJsonObject& o) { o["key_colour"] = "0x00ff"; }, "\"key_colour\" must be six"},
        {"key +0ff00", [](QJsonObject& o) { o["key_colour"] = "+0ff00"; }, "\"key_colour\" must be six"},
        {"key  0ff00", [](QJsonObject& o) { o["key_colour"] = " 0ff00"; }, "\"key_colour\" must be six"},
        {"no key", [](QJsonObject& o) { o.remove("key_colour"); }, "\"key_colour\" is missing"},
        {"opacity 5", [](QJsonObject& o) { o["opacity_percent"] = 5; },
         "\"opacity_percent\" must be from 10"},
        {"audio as 1", [](QJsonObject& o) { o["enhance_audio"] = 1; },
         "\"enhance_audio\" must be true or false"},
        {"prefix with a slash", inner("output", "prefix", "../x"), "\"output.prefix\" must not hold a slash"},
        {"prefix with a NUL", inner("output", "prefix", QString(QChar())),
         "\"output.prefix\" must not hold a NUL character"},
        {"unknown kind", inner("output", "kind", "webm"), "\"output.kind\" must be \"same\" or \"share\""},
        {"version 3", [](QJsonObject& o) { o["version"] = 3; }, "\"version\" 3 is newer"},
    };
    const QJsonObject goodText = QJsonDocument::fromJson(jobToJson(textJob())).object();
    const struct {
        const char* name;
        Edit edit;
        const char* says;
    } textCases[] = {
        {"empty text", inner("text", "text", " "), "\"text.text\" must be one line"},
        {"two lines", inner("text", "text", "a\nb"), "\"text.text\" must be one line"},
        {"tiny letters", inner("text", "pixel_size", 3), "\"text.pixel_size\" must be from 6"},
        {"half a pixel", inner("text", "pixel_size", 20.5), "\"text.pixel_size\" must be a whole number"},
        {"colour a name", inner("text", "colour", "white"), "\"text.colour\" must be six"},
        {"unknown edge", inner("text", "edge", "glow"), "\"text.edge\" must be none, outline or shadow"},
        {"no size", inner("text", "size_percent", QJsonValue::Undefined), "\"text.size_percent\" is missing"},
        {"until before from", inner("time_range", "until", 1), "\"time_range\": \"until\" must come after"},
        {"negative from", inner("time_range", "from", -1), "\"time_range.from\" must be from 0"},
        {"a long fade", inner("time_range", "fade", 11), "\"time_range.fade\" must be from 0 to 10"},
        {"fades past the range", inner("time_range", "fade", 3), "\"time_range\": the fades are longer"},
        {"from as text", inner("time_range", "from", "0:02"), "\"time_range.from\" must be a number"},
        // Ranges that mark nothing, whatever the video: over before it starts, or shorter than the
        // millisecond the module is told.
        {"until 0", inner("time_range", "until", 0), "\"time_range\": \"until\" must come after"},
        {"until under a millisecond", inner("time_range", "until", 0.0004),
         "\"time_range\": \"until\" must come after"},
        {"from past a year", inner("time_range", "from", 31622401), "\"time_range.from\" must be from 0 to"},
    };
    const auto refused = [](const QJsonObject& from, const auto& table) {
        for (const auto& c : table) {
            SCOPED_TRACE(c.name);
            QJsonObject o = from;
            c.edit(o);
            QString why;
            EXPECT_FALSE(jobFromJson(QJsonDocument(o).toJson(), &why));
            EXPECT_TRUE(why.startsWith(QLatin1String(c.says))) << why.toStdString();
        }
    };
    refused(goodText, textCases);
    refused(good, cases);
    QString why;
    EXPECT_FALSE(jobFromJson("{\"format\": ", &why));
    EXPECT_TRUE(why.startsWith("not JSON")) << why.toStdString();
    EXPECT_FALSE(jobFromJson("[1, 2]", &why));
    EXPECT_FALSE(readJobFile(dir.filePath("none.wmjob"), &why));
    EXPECT_TRUE(why.contains("none.wmjob")) << why.toStdString();
}

TEST(JobFile, APictureGoneOrChangedIsRefused) {
    QTemporaryDir dir;
    const QString picture = writePicture(dir);
    const Job job = sample(picture);
    QString why;
    ASSERT_TRUE(loadJobPicture(job, &why));

    QImage other(40, 20, QImage::Format_ARGB32);
    other.fill(Qt::blue);
    ASSERT_TRUE(other.save(picture, "PNG"));
    EXPECT_FALSE(loadJobPicture(job, &why));
    EXPECT_TRUE(why.startsWith("\"picture.sha256\"")) << why.toStdString();

    ASSERT_TRUE(QFile::remove(picture));
    EXPECT_FALSE(loadJobPicture(job, &why));
    EXPECT_TRUE(why.startsWith("\"picture.path\"")) << why.toStdString();
}

// A job or a picture that is no regular file is refused at once, with what it
// is: a pipe would hang the read, a device never end it.
TEST(JobFile, OnlyRegularFilesAreRead) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct {
        const char* name;
        QString path;
        const char* says;
    } cases[] = {
        {"a pipe", fifo, "is not a regular file"},
        {"a device", QStringLiteral("/dev/zero"), "is not a regular file"},
        {"a folder", dir.path(), "is a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString why;
        EXPECT_FALSE(readJobFile(c.path, &why));
        EXPECT_TRUE(why.startsWith(c.path + u' ' + QLatin1String(c.says))) << why.toStdString();
        Job job = sample(writePicture(dir));
        job.picturePath = c.path;
        EXPECT_FALSE(loadJobPicture(job, &why));
        EXPECT_TRUE(why.startsWith("\"picture.path\": " + c.path + u' ' + QLatin1String(c.says)))
            << why.toStdString();
        EXPECT_TRUE(fileSha256(c.path).isEmpty());
    }
}

// A picture beside its job is named without its folder, so the two can move
// together (to a cluster's node, say).
TEST(JobFile, APictureBesideTheJobTravelsWithIt) {
    QTemporaryDir dir;
    const Job job = sample(writePicture(dir));
    QString why;
    ASSERT_TRUE(writeJobFile(dir.filePath("a.wmjob"), job, &why)) << why.toStdString();
    QFile saved(dir.filePath("a.wmjob"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(saved.readAll()).object()["picture"].toObject()["path"], "logo.png");

    QTemporaryDir elsewhere;
    for (const char* name : {"a.wmjob", "logo.png"})
        ASSERT_TRUE(QFile::copy(dir.filePath(name), elsewhere.filePath(name)));
    const std::optional<Job> moved = readJobFile(elsewhere.filePath("a.wmjob"), &why);
    ASSERT_TRUE(moved) << why.toStdString();
    EXPECT_EQ(moved->picturePath, elsewhere.filePath("logo.png"));
    EXPECT_TRUE(loadJobPicture(*moved, &why)) << why.toStdString();
}
