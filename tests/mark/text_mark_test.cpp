// The text mark: its tokens filled for one video, and its letters drawn at the size they have in
// the frame rather than scaled from a smaller drawing.
#include "mark/text_mark.h"
#include "jobs/job.h"
#include "mark/mark_mask.h"
#include "tests/support/gui_environment.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

TextMark sample(TextMark::Edge edge = TextMark::Edge::Outline) {
    TextMark m;
    m.text = QStringLiteral("© holiday 2021-03-04");
    m.family = QStringLiteral("DejaVu Sans");
    m.pixelSize = 24;
    m.colour = Qt::white;
    m.edge = edge;
    return m;
}

TEST(FillTokens, NameAndDateOfOneVideo) {
    const QDate day(2021, 3, 4);
    struct Case {
        const char *text, *name, *filled;
        QDate date;
    };
    const Case cases[] = {
        {"© {name} {date}", "holiday", "© holiday 2021-03-04", day},
        {"no tokens", "holiday", "no tokens", day},
        {"{name}/{name}", "a", "a/a", day},
        {"{name}", "my {date} film", "my {date} film", day},
        {"{{name}}", "a", "{a}", day},
        {"{Name} {DATE}", "a", "{Name} {DATE}", day},
        {"on {date}", "a", "on ", QDate()},
        {"{name", "a", "{name", day},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fillTokens(QString::fromUtf8(c.text), QString::fromUtf8(c.name), c.date),
                  QString::fromUtf8(c.filled))
            << c.text;
}

TEST(FillTokens, TheVideosNameIsItsFileNameWithoutExtension) {
    EXPECT_EQ(videoName("/videos/holiday.mp4"), "holiday");
    EXPECT_EQ(videoName("/videos/a.b.mkv"), "a.b");
    EXPECT_EQ(videoName("/videos/.hidden"), ".hidden");
    EXPECT_EQ(videoName("/videos/plain"), "plain");
    EXPECT_EQ(videoName("/vid.eos/plain"), "plain");
}

// The file's date is what a video without a recording date gets.
TEST(FillTokens, RecordedDateElseTheFilesDate) {
    const QDateTime written(QDate(2020, 1, 2), QTime(12, 0));
    EXPECT_EQ(videoDate(QDateTime(QDate(2021, 3, 4), QTime(12, 0), QTimeZone::utc()), written),
              QDate(2021, 3, 4));
    // No zone: the camera's own clock, taken as it is.
    EXPECT_EQ(videoDate(QDateTime(QDate(2021, 3, 4), QTime(23, 30)), written), QDate(2021, 3, 4));
    EXPECT_EQ(videoDate(QDateTime(), written), QDate(2020, 1, 2));
    EXPECT_EQ(videoDate(QDateTime(), QDateTime()), QDate());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("clip.mp4"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.setFileTime(written, QFileDevice::FileModificationTime));
    file.close();
    TextMark mark;
    mark.text = QStringLiteral("{name} {date}");
    EXPECT_EQ(filledFor(mark, path, QDateTime()).text, "clip 2020-01-02");
    EXPECT_EQ(filledFor(mark, path, QDateTime(QDate(2019, 5, 6), QTime(10, 0))).text, "clip 2019-05-06");
}

// Every text of one font is as high: a name without tall letters does not make a smaller mark.
TEST(TextMarkSize, TheFontsLineWithTheEdge) {
    TextMark low = sample(TextMark::Edge::None), high = low;
    low.text = QStringLiteral("ace");
    high.text = QStringLiteral("Ågy");
    EXPECT_EQ(textMarkSize(low).height(), textMarkSize(high).height());
    const QSize plain = textMarkSize(sample(TextMark::Edge::None));
    const QSize outlined = textMarkSize(sample(TextMark::Edge::Outline));
    EXPECT_GT(outlined.width(), plain.width());
    EXPECT_GT(outlined.height(), plain.height());
    TextMark bigger = sample();
    bigger.pixelSize *= 4;
    EXPECT_NEAR(textMarkSize(bigger).width(), textMarkSize(sample()).width() * 4, 8);
}

// Pixels of the edge between ground and letters: few in a sharp drawing.
int softPixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const int a = qAlpha(img.pixel(x, y));
            n += a > 24 && a < 232;
        }
    return n;
}

// At 100 % and far above it, the letters' edges are as sharp as a drawing at that size, not as
// soft as a smaller drawing scaled up.
TEST(DrawTextMark, SharpAtTheSizeItHas) {
    const TextMark mark = sample();
    const QSize natural = textMarkSize(mark);
    const QImage own = drawTextMark(mark, natural);
    ASSERT_EQ(own.size(), natural);
    EXPECT_EQ(own.format(), QImage::Format_ARGB32);
    for (const int times : {4, 10}) {
        const QSize large = natural * times;
        const QImage drawn = drawTextMark(mark, large);
        const QImage upscaled = laidMark(own, large);
        ASSERT_EQ(drawn.size(), large);
        EXPECT_LT(softPixels(drawn) * 2, softPixels(upscaled)) << times;
    }
    // A 1 % mark of the largest text is a drawing of its few pixels too.
    TextMark huge = sample();
    huge.pixelSize = kMaxTextSize;
    const QSize onePercent = (textMarkSize(huge) + QSize(50, 50)) / 100;
    const QImage tiny = drawTextMark(huge, onePercent);
    ASSERT_EQ(tiny.size(), onePercent);
    int seen = 0;
    for (int y = 0; y < tiny.height(); ++y)
        for (int x = 0; x < tiny.width(); ++x)
            seen += qAlpha(tiny.pixel(x, y)) > 0;
    EXPECT_GT(seen, onePercent.width());
}

// White letters in a black ring, or with a shadow below right; nothing but the letters without an
// edge.
TEST(DrawTextMark, TheEdgeMakesItReadOnAnyFrame) {
    auto count = [](const QImage& img, auto pred) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += pred(img.pixel(x, y));
        return n;
    };
    auto opaqueWhite = [](QRgb p) {
        return qAlpha(p) == 255 && qGray(p) > 240;
    };
    auto opaqueBlack = [](QRgb p) {
        return qAlpha(p) == 255 && qGray(p) < 16;
    };
    auto shade = [](QRgb p) {
        return qAlpha(p) > 100 && qGray(p) < 16;
    };
    for (const TextMark::Edge edge :
         {TextMark::Edge::None, TextMark::Edge::Outline, TextMark::Edge::Shadow}) {
        const TextMark mark = sample(edge);
        const QImage img = drawTextMark(mark, textMarkSize(mark));
        EXPECT_GT(count(img, opaqueWhite), 100) << edgeName(edge);
        EXPECT_EQ(count(img, opaqueBlack) > 100, edge == TextMark::Edge::Outline) << edgeName(edge);
        EXPECT_EQ(count(img, shade) > 100, edge != TextMark::Edge::None) << edgeName(edge);
    }
    TextMark dark = sample(TextMark::Edge::Outline);
    dark.colour = QColor(20, 20, 60);
    EXPECT_EQ(edgeColourOf(dark.colour), QColor(Qt::white));
}

}  // namespace

// A text job is filled for each video, its letters as large a share of every frame however long
// the name; and the window's placement of a text saves that share.
TEST(TextJob, EachVideoItsOwnTextWithLettersOfOneSize) {
    Job job;
    job.text = sample(TextMark::Edge::Shadow);
    job.text->text = QStringLiteral("© {name} {date}");
    job.text->pixelSize = 24;
    job.textSizePercent = 2.5;
    job.anchor = Anchor::TopRight;
    const QDateTime recorded(QDate(2021, 3, 4), QTime(12, 0), Qt::UTC);
    const Placement shortName = placementOf(job, QImage(), QStringLiteral("/v/a.mp4"), recorded);
    const Placement longName =
        placementOf(job, QImage(), QStringLiteral("/v/a much longer name.mkv"), recorded);
    ASSERT_TRUE(shortName.text() && longName.text());
    EXPECT_EQ(shortName.text()->text, QStringLiteral("© a 2021-03-04"));
    EXPECT_EQ(longName.text()->text, QStringLiteral("© a much longer name 2021-03-04"));
    for (const Placement* p : {&shortName, &longName}) {
        const QSize frame(1920, 1080);
        const QRect rect = p->rectIn(frame).rect;
        // The letters as laid: the font's pixel size scaled as the mark is.
        const double letters = 24.0 * rect.width() / textMarkSize(*p->text()).width();
        EXPECT_NEAR(letters / frame.width() * 100, job.textSizePercent, 0.05)
            << p->text()->text.toStdString();
        EXPECT_EQ(p->picture().size(), textMarkSize(*p->text()));
    }
    const Job again = jobOf(longName, QString(), job.text);
    EXPECT_EQ(again.text, job.text);
    EXPECT_NEAR(again.textSizePercent, job.textSizePercent, 1e-9);
}
