// The common case end to end, through the positioning window and the real
// encoder: a wide logo with a soft shadow whole at any zoom, phone videos
// stored on their side, one placement on several frame sizes, and dark logos
// the program's key colour leaves whole. Results are read back with Debian's
// ffmpeg, which turns a rotated video upright as players do.
#include "app/user_settings.h"
#include "convert/positioning_window.h"
#include "probe/probe_parse.h"
#include "tests/support/video_fixtures.h"
#include "tests/support/window_test_support.h"
#include "watermark/key_colour.h"
#include "watermark/mark_mask.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <unistd.h>

#include <algorithm>
#include <numeric>
#include <vector>

using namespace fixtures;

namespace {

bool ffmpeg(const QStringList& args) {
    int rc = -1;
    runProgram(
        QStringLiteral("ffmpeg"),
        QStringList{QStringLiteral("-v"), QStringLiteral("error")} + args + QStringList{QStringLiteral("-y")},
        &rc);
    return rc == 0;
}

int channelDiff(QRgb a, QRgb b) {
    return std::max(
        {std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// The video laid under a mark pixel as the module mixes them.
QRgb blended(QRgb mark, QRgb video) {
    const int a = qAlpha(mark);
    auto mix = [a](int m, int v) {
        return (m * a + v * (255 - a) + 127) / 255;
    };
    return qRgb(mix(qRed(mark), qRed(video)), mix(qGreen(mark), qGreen(video)),
                mix(qBlue(mark), qBlue(video)));
}

// A wide logo with a soft shadow: a ring and a word on a light plate.
QImage wideLogo() {
    QImage img(606, 179, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawRoundedRect(QRectF(12, 12, 590, 164), 28, 28);
    p.setBrush(QColor(244, 244, 244));
    p.drawRoundedRect(QRectF(2, 2, 588, 164), 28, 28);
    p.setPen(QPen(QColor(29, 63, 110), 14));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(88, 85), 50, 50);
    p.fillRect(QRect(170, 50, 400, 70), QColor(29, 63, 110));  // the word, as a solid bar
    return img;
}

// Four quarters of four colours: where each ends up shows any turn or mirror.
QImage quarters(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y,
                         y < h / 2 ? (x < w / 2 ? qRgb(230, 20, 20) : qRgb(20, 200, 20))
                                   : (x < w / 2 ? qRgb(20, 20, 230) : qRgb(230, 230, 20)));
    return img;
}

}  // namespace

class CommonCaseTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { QVERIFY(closeProgramWindows()); }
    void aWideLogoIsWholeAtAnyZoom_data();
    void aWideLogoIsWholeAtAnyZoom();
    void aPhoneVideoGetsTheMarkUpright_data();
    void aPhoneVideoGetsTheMarkUpright();
    void onePlacementOnEveryFrame_data();
    void onePlacementOnEveryFrame();
    void theProgramsKeyLeavesDarkLogosWhole_data();
    void theProgramsKeyLeavesDarkLogosWhole();

private:
    // The window on `video` (described by the encoder itself) with `picture` at `markSize`.
    PositioningWindow& open(const QString& video, const QImage& picture, QSize markSize);
    // Converts; the result's path.
    QString convert(PositioningWindow& form);

    QTemporaryDir folder_;
};

void CommonCaseTest::initTestCase() {
    const QString encoder = QStringLiteral("cc%1mxcode.dll").arg(::getpid());
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/mxcode.dll"), folder_.filePath(encoder)));
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/watermark.dll"), folder_.filePath("watermark.dll")));
    setEncoderNameForTesting(encoder);
    setProgramFolderForTesting(folder_.path());
}

void CommonCaseTest::init() {
    userSettings().clear();
    QDir(folder_.filePath(QStringLiteral("watermarked"))).removeRecursively();
    QVERIFY(QDir().mkpath(folder_.filePath(QStringLiteral("watermarked"))));
}

PositioningWindow& CommonCaseTest::open(const QString& video, const QImage& picture, QSize markSize) {
    // The description as the windows read it: both output streams joined.
    QProcess probe;
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.start(QStringLiteral(WM_PROGRAM_DIR "/mxcode.dll"), {QStringLiteral("-i"), video});
    probe.waitForFinished(60000);
    const ProbeFacts facts = parseProbeChunk(QString::fromUtf8(probe.readAll()));
    ChosenVideo v;
    v.path = video;
    v.title = QFileInfo(video).fileName();
    v.duration = facts.duration.value_or(QString());
    v.codedSize =
        frameSizeOf(facts.width.value_or(QString()), facts.height.value_or(QString())).value_or(QSize());
    v.orientation = facts.orientation.value_or(rules::Orientation{});
    const rules::PixelSize up =
        rules::uprightSize({v.codedSize.width(), v.codedSize.height()}, v.orientation);
    v.frameSize = QSize(up.width, up.height);
    {
        ModalAnswerer answer;
        PositioningWindow::initialize(v, picture, markSize);
    }
    return *PositioningWindow::loaded();
}

QString CommonCaseTest::convert(PositioningWindow& form) {
    ModalAnswerer answer;
    child<QPushButton>(form, "Command2")->click();
    if (!answer.texts().isEmpty()) qWarning("%s", qPrintable(answer.texts().join(u'|')));
    return form.lastRun().result;
}

void CommonCaseTest::aWideLogoIsWholeAtAnyZoom_data() {
    QTest::addColumn<int>("zoom");
    QTest::newRow("100 %") << 100;
    QTest::newRow("37 %") << 37;
}

void CommonCaseTest::aWideLogoIsWholeAtAnyZoom() {
    QFETCH(int, zoom);
    const QString video = folder_.filePath(QStringLiteral("wide.avi"));
    QVERIFY(QFile::exists(video) || makeVideo(video, QStringLiteral("1280x720"), 0.4));
    const QImage logo = wideLogo();
    const QSize size(std::lround(606 * zoom / 100.0), 0);
    PositioningWindow& form = open(video, logo, QSize(size.width(), 1));
    auto* canvas = child<MarkCanvas>(form, "Picture1");
    canvas->moveMarkTo(QPoint(40, 30));
    const QRect rect = canvas->markRect().rect;
    QCOMPARE(rect.topLeft(), QPoint(40, 30));
    QCOMPARE(rect.width(), size.width());
    QCOMPARE(rect.height(), std::lround(size.width() * 179.0 / 606));

    const QString result = convert(form);
    const QImage out = frameOf(result, 3, 1280, 720);
    const QImage src = frameOf(video, 3, 1280, 720);
    QVERIFY(!out.isNull() && !src.isNull());
    const QImage mark = laidMark(logo, rect.size());
    // Every pixel of the mark is the whole picture scaled, laid over the
    // video: compared by brightness, which 4:2:0 colour does not blur, within
    // what re-encoding the frame leaves.
    auto luma = [](QRgb c) {
        return (299 * qRed(c) + 587 * qGreen(c) + 114 * qBlue(c)) / 1000;
    };
    std::vector<int> diffs;
    for (int y = 0; y < rect.height(); ++y)
        for (int x = 0; x < rect.width(); ++x) {
            const QPoint at = rect.topLeft() + QPoint(x, y);
            diffs.push_back(std::abs(luma(out.pixel(at)) - luma(blended(mark.pixel(x, y), src.pixel(at)))));
        }
    std::sort(diffs.begin(), diffs.end());
    const double mean = std::accumulate(diffs.begin(), diffs.end(), 0.0) / diffs.size();
    const int p99 = diffs[diffs.size() * 99 / 100];
    qInfo("mark %dx%d: brightness off by %.2f on average, %d at the 99th percentile, %d at most",
          rect.width(), rect.height(), mean, p99, diffs.back());
    QVERIFY2(mean < 2.5 && p99 < 16, qPrintable(QStringLiteral("%1 %2").arg(mean).arg(p99)));
    // The far end of the word is there: nothing was cut.
    const QPoint wordEnd = rect.topLeft() + QPoint(rect.width() * 560 / 606, rect.height() * 85 / 179);
    QVERIFY2(channelDiff(out.pixel(wordEnd), qRgb(29, 63, 110)) < 30,
             qPrintable(QColor(out.pixel(wordEnd)).name()));
}

void CommonCaseTest::aPhoneVideoGetsTheMarkUpright_data() {
    QTest::addColumn<int>("tag");  // the rotate tag ffmpeg is given
    QTest::newRow("90") << 90;
    QTest::newRow("180") << 180;
    QTest::newRow("270") << 270;
}

void CommonCaseTest::aPhoneVideoGetsTheMarkUpright() {
    QFETCH(int, tag);
    // A phone-style clip: a landscape coded frame with a rotation tag.
    const QString plain = folder_.filePath(QStringLiteral("phone.mp4"));
    QVERIFY(QFile::exists(plain) || ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25", "-t", "0.4",
                                            "-c:v", "libx264", "-pix_fmt", "yuv420p", plain}));
    const QString video = folder_.filePath(QStringLiteral("phone-%1.mp4").arg(tag));
    QVERIFY(
        ffmpeg({"-i", plain, "-c", "copy", "-metadata:s:v:0", QStringLiteral("rotate=%1").arg(tag), video}));

    const QImage logo = quarters(40, 30);
    PositioningWindow& form = open(video, logo, logo.size());
    const QSize upright = form.video().frameSize;
    QCOMPARE(upright, tag == 180 ? QSize(320, 180) : QSize(180, 320));
    child<QToolButton>(form, "place8")->click();  // bottom right, at the margin's 3 %
    const QRect rect = child<MarkCanvas>(form, "Picture1")->markRect().rect;
    QCOMPARE(rect,
             markRect(logo.size(), Anchor::BottomRight, 0.03, 0.03, 40.0 / upright.width(), upright).rect);

    const QString result = convert(form);
    // As a player shows it: upright, the quarters where they were placed.
    const QImage out = frameOf(result, 3, upright.width(), upright.height());
    QVERIFY(!out.isNull());
    const int inset = 3;  // within a pixel of the box, clear of 4:2:0 colour at its edge
    const struct {
        QPoint at;
        QRgb colour;
    } corners[] = {
        {rect.topLeft() + QPoint(inset, inset), logo.pixel(0, 0)},
        {rect.topRight() + QPoint(-inset, inset), logo.pixel(39, 0)},
        {rect.bottomLeft() + QPoint(inset, -inset), logo.pixel(0, 29)},
        {rect.bottomRight() + QPoint(-inset, -inset), logo.pixel(39, 29)},
    };
    for (const auto& c : corners)
        QVERIFY2(
            channelDiff(out.pixel(c.at), c.colour) < 40,
            qPrintable(
                QStringLiteral("%1,%2: %3").arg(c.at.x()).arg(c.at.y()).arg(QColor(out.pixel(c.at)).name())));
    // Just outside the box: the video, not the mark.
    const QImage src = frameOf(video, 3, upright.width(), upright.height());
    for (const QPoint p : {rect.topLeft() - QPoint(2, 2), rect.topRight() + QPoint(2, -2)})
        QVERIFY(channelDiff(out.pixel(p), src.pixel(p)) < 40);
}

void CommonCaseTest::onePlacementOnEveryFrame_data() {
    QTest::addColumn<QSize>("frame");
    QTest::newRow("320x240") << QSize(320, 240);
    QTest::newRow("640x360") << QSize(640, 360);
    QTest::newRow("240x432 portrait") << QSize(240, 432);
}

void CommonCaseTest::onePlacementOnEveryFrame() {
    QFETCH(QSize, frame);
    const QString video =
        folder_.filePath(QStringLiteral("f%1x%2.avi").arg(frame.width()).arg(frame.height()));
    QVERIFY(makeVideo(video, QStringLiteral("%1x%2").arg(frame.width()).arg(frame.height()), 0.4));
    QImage logo(100, 50, QImage::Format_ARGB32);
    logo.fill(QColor(240, 20, 20));
    PositioningWindow& form = open(video, logo, QSize(frame.width() / 5, 1));  // a fifth of the width
    child<QToolButton>(form, "place8")->click();
    const QRect rect = markRect(logo.size(), Anchor::BottomRight, 0.03, 0.03, 0.2, frame).rect;
    QCOMPARE(child<MarkCanvas>(form, "Picture1")->markRect().rect, rect);

    const QImage out = frameOf(convert(form), 3, frame.width(), frame.height());
    QVERIFY(!out.isNull());
    auto red = [&](QPoint p) {
        return channelDiff(out.pixel(p), qRgb(240, 20, 20)) < 40;
    };
    for (const QPoint p : {rect.topLeft() + QPoint(2, 2), rect.bottomRight() - QPoint(2, 2), rect.center()})
        QVERIFY(red(p));
    for (const QPoint p : {rect.topLeft() - QPoint(3, 3), rect.bottomRight() + QPoint(3, 3)})
        QVERIFY(!red(p));
}

void CommonCaseTest::theProgramsKeyLeavesDarkLogosWhole_data() {
    QTest::addColumn<QString>("format");
    QTest::newRow("near-black text on transparency, PNG") << "PNG";
    QTest::newRow("black text on white, JPEG") << "JPG";
}

void CommonCaseTest::theProgramsKeyLeavesDarkLogosWhole() {
    QFETCH(QString, format);
    const bool png = format == QStringLiteral("PNG");
    QImage logo(120, 40, QImage::Format_ARGB32);
    logo.fill(png ? Qt::transparent : Qt::white);
    // Strokes of "text", thick enough that JPEG keeps their middles dark.
    const QColor ink = png ? QColor(20, 18, 25) : QColor(0, 0, 0);
    QPainter(&logo).fillRect(QRect(10, 10, 100, 8), ink);
    QPainter(&logo).fillRect(QRect(10, 24, 40, 8), ink);
    const QString file = folder_.filePath(QStringLiteral("dark.") + format.toLower());
    QVERIFY(logo.save(file, format.toLatin1().constData(), 92));
    const QImage picture(file);  // as the program reads it back
    const QString video = folder_.filePath(QStringLiteral("grey.avi"));
    QVERIFY(QFile::exists(video) || ffmpeg({"-f", "lavfi", "-i", "color=c=0xb0b0b0:size=320x240:rate=25",
                                            "-t", "0.4", "-c:v", "mpeg4", "-q:v", "2", video}));

    PositioningWindow& form = open(video, picture, picture.size());
    child<MarkCanvas>(form, "Picture1")->moveMarkTo(QPoint(50, 60));
    QVERIFY(!form.placement().pickedKey());
    QCOMPARE(pixelsOfKey(child<MarkCanvas>(form, "Picture1")->laidMark(), form.keyColour()), 0);

    const QImage out = frameOf(convert(form), 3, 320, 240);
    QVERIFY(!out.isNull());
    // Every pixel of the strokes' middles is dark in the result, none shows the grey video.
    for (const QRect stroke : {QRect(12, 12, 96, 4), QRect(12, 26, 36, 4)})
        for (int y = stroke.top(); y <= stroke.bottom(); ++y)
            for (int x = stroke.left(); x <= stroke.right(); ++x) {
                const QColor c = out.pixelColor(QPoint(50, 60) + QPoint(x, y));
                QVERIFY2(c.red() < 70 && c.green() < 70 && c.blue() < 70,
                         qPrintable(QStringLiteral("%1,%2: %3").arg(x).arg(y).arg(c.name())));
            }
}

QTEST_MAIN(CommonCaseTest)
#include "common_case_test.moc"
