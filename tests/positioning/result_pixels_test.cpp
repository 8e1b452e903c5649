// What a conversion through the windows lays on the video, read back pixel
// by pixel with ffmpeg: the whole logo at its zoom, blended by its alpha; the
// mark upright and in its place on phone clips that carry a display
// rotation; one placement on frames of several sizes; dark text kept by
// the key colour the program picks; a text mark filled for each video and
// drawn at its size in the frame; and a mark that comes and goes.
//
// The clips are small and short, and most are coded losslessly in RGB, which
// the result keeps: there a result pixel is the blend of the source pixel and
// the mark's, exactly as the module rounds it.
#include "app/file_choice.h"
#include "app/main_window.h"
#include "app/user_button.h"
#include "app/user_settings.h"
#include "jobs/batch_video.h"
#include "jobs/job.h"
#include "jobs/program_paths.h"
#include "mark/mark_mask.h"
#include "mark/scale.h"
#include "mark/text_mark.h"
#include "positioning/positioning_window.h"
#include "program.h"
#include "queue/batch_window.h"
#include "rules/mark_rules.h"
#include "rules/orientation.h"
#include "watermark/text_mark_window.h"

#include "tests/support/modal_answerer.h"
#include "tests/support/video_fixtures.h"
#include "tests/support/window_test_support.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFontComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <unistd.h>

namespace {

using fixtures::frameOf;
using fixtures::makeLosslessVideo;

// A 606 x 179 logo: a word and a ring in colour over a soft, half-transparent
// shadow, on a transparent ground.
QImage drawnLogo() {
    QImage logo(606, 179, QImage::Format_ARGB32);
    logo.fill(Qt::transparent);
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans")});
    font.setPixelSize(110);
    font.setBold(true);
    QPainterPath word;
    word.addText(12, 140, font, QStringLiteral("MARK"));
    const QRectF ring(440, 14, 150, 150);
    // The shadow: twice, wide and faint, then narrower and darker.
    for (const auto& [offset, alpha] : {std::pair{9, 50}, std::pair{5, 90}}) {
        p.save();
        p.translate(offset, offset);
        p.fillPath(word, QColor(0, 0, 0, alpha));
        p.setPen(QPen(QColor(0, 0, 0, alpha), 20));
        p.drawEllipse(ring);
        p.restore();
    }
    p.fillPath(word, QColor(30, 90, 200));
    p.setPen(QPen(QColor(230, 120, 20), 16));
    p.drawEllipse(ring);
    return logo;
}

// The smallest rectangle holding every pixel of `img` that `counts`.
template <typename Pred>
QRect boxOf(const QImage& img, Pred counts) {
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (counts(img.pixel(x, y))) box |= QRect(x, y, 1, 1);
    return box;
}

QRect visibleBox(const QImage& img) {
    const QImage argb = img.convertToFormat(QImage::Format_ARGB32);
    return boxOf(argb, [](QRgb p) { return qAlpha(p) > 0; });
}

// The frame `source` with `mark` laid at `rect` at `opacity` per cent, as
// the module mixes each channel.
QImage blended(const QImage& source, const QImage& mark, QRect rect, int opacity) {
    QImage out = source.convertToFormat(QImage::Format_RGB32);
    const QImage m = mark.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < m.height(); ++y)
        for (int x = 0; x < m.width(); ++x) {
            const QRgb v = m.pixel(x, y);
            const QRgb s = out.pixel(rect.x() + x, rect.y() + y);
            const unsigned w = rules::alphaWeight(unsigned(qAlpha(v)), unsigned(opacity));
            auto mix = [w](int mv, int sv) {
                return int((unsigned(mv) * w + unsigned(sv) * (256 - w) + 128) >> 8);
            };
            out.setPixel(rect.x() + x, rect.y() + y,
                         qRgb(mix(qRed(v), qRed(s)), mix(qGreen(v), qGreen(s)), mix(qBlue(v), qBlue(s))));
        }
    return out;
}

// The largest difference of one channel between two pictures, and where.
struct Difference {
    int most = 0;
    QPoint at;
};
Difference difference(const QImage& a, const QImage& b, QRect area) {
    Difference d;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int e =
                std::max({qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q)), qAbs(qBlue(p) - qBlue(q))});
            if (e > d.most) d = {e, {x, y}};
        }
    return d;
}

// The module's mix rounds each channel once.
constexpr int kBlendTolerance = 1;

QString described(const Difference& d, const QImage& got, const QImage& want) {
    return QStringLiteral("%1 at %2,%3: %4, not %5")
        .arg(d.most)
        .arg(d.at.x())
        .arg(d.at.y())
        .arg(got.pixelColor(d.at).name(), want.pixelColor(d.at).name());
}

// How a player turns the clip: ffprobe gives the display matrix's angle
// counterclockwise.
std::optional<rules::Orientation> orientationOf(const QString& video) {
    const QByteArray out = fixtures::runProgram(
        QStringLiteral("ffprobe"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
         QStringLiteral("v:0"), QStringLiteral("-show_entries"), QStringLiteral("stream_side_data=rotation"),
         QStringLiteral("-of"), QStringLiteral("default=nw=1:nk=1"), video});
    bool ok = false;
    const double counterclockwise = out.trimmed().toDouble(&ok);
    if (!ok) return std::nullopt;
    return rules::orientationOfDegrees(-counterclockwise);
}

// A mark that shows which way is up: a white box with a black arrow pointing
// to its top.
QImage upArrow() {
    QImage img(48, 64, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPolygon(QPolygon({{24, 6}, {6, 30}, {42, 30}}));
    p.drawRect(18, 30, 12, 28);
    return img;
}

// The mean difference of grey levels between a picture and `area` of a frame
// of the same size.
double meanGreyDifference(const QImage& frame, QRect area, const QImage& picture) {
    double sum = 0;
    for (int y = 0; y < area.height(); ++y)
        for (int x = 0; x < area.width(); ++x)
            sum += qAbs(qGray(frame.pixel(area.x() + x, area.y() + y)) - qGray(picture.pixel(x, y)));
    return sum / (area.width() * area.height());
}

QString rectText(QRect r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

}  // namespace

class ResultPixelsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void theWholeLogoAtItsZoom_data();
    void theWholeLogoAtItsZoom();
    void phoneClipsKeepTheMarkUpright_data();
    void phoneClipsKeepTheMarkUpright();
    void onePlacementOnSeveralFrames_data();
    void onePlacementOnSeveralFrames();
    void darkTextIsKept_data();
    void darkTextIsKept();
    void aTextOnThreeVideos();
    void textIsDrawnAtItsSizeInTheFrame_data();
    void textIsDrawnAtItsSizeInTheFrame();
    void aMarkThatComesAndGoes();

private:
    // "Text…" with this text, in white DejaVu Sans letters 16 pixels high with an outline.
    void useText(MainWindow& w, const QString& text);
    // Chooses the video and the picture in the main window and Initialize.
    PositioningWindow* initializeThroughTheWindows(MainWindow& w, const QString& video,
                                                   const QString& picture, int zoom);
    // Start, and the result when the conversion went through without a word.
    QString convert(PositioningWindow& form, const QString& title);

    QTemporaryDir folder_;  // the program folder of the test
    QString encoder_;       // the encoder's name there, the test's own
};

void ResultPixelsTest::initTestCase() {
    encoder_ = QStringLiteral("px%1mxcode.dll").arg(::getpid());
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/mxcode.dll"), folder_.filePath(encoder_)));
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/watermark.dll"),
                        folder_.filePath(QStringLiteral("watermark.dll"))));
    // The results folder, as the main window's start-up makes it: some cases
    // go to the positioning window straight.
    QVERIFY(QDir(folder_.path()).mkpath(QStringLiteral("watermarked")));
}

void ResultPixelsTest::init() {
    setProgramFolderForTesting(folder_.path());
    setEncoderNameForTesting(encoder_);
    // Each case starts from a program that remembers nothing and an empty
    // results folder: a taken name would be asked about.
    userSettings().clear();
    QDir results(folder_.filePath(QStringLiteral("watermarked")));
    for (const QString& name : results.entryList(QDir::Files | QDir::Hidden))
        results.remove(name);
}

void ResultPixelsTest::cleanup() {
    QTRY_VERIFY(closeProgramWindows());
    OpenFileDialog::setAnswer({});
    setProgramFolderForTesting(QString());
    setEncoderNameForTesting(QString());
}

PositioningWindow* ResultPixelsTest::initializeThroughTheWindows(MainWindow& w, const QString& video,
                                                                 const QString& picture, int zoom) {
    QString next = video;
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return next; });
    control<UserButton>(w, "Video Selection")->click();
    next = picture;
    control<UserButton>(w, "Image Selection")->click();
    control<QSlider>(w, "Picture zoom")->setValue(zoom);
    ModalAnswerer answer;
    control<UserButton>(w, "Initialize Watermarking")->click();
    if (!answer.texts().isEmpty()) {
        qWarning() << "Initialize said" << answer.texts();
        return nullptr;
    }
    return PositioningWindow::loaded();
}

QString ResultPixelsTest::convert(PositioningWindow& form, const QString& title) {
    ModalAnswerer answer;
    control<QPushButton>(form, "Start Watermarking")->click();
    if (!answer.texts().isEmpty()) {
        qWarning() << "Start said" << answer.texts();
        return {};
    }
    return folder_.filePath(QStringLiteral("watermarked/wm-") + title);
}

void ResultPixelsTest::theWholeLogoAtItsZoom_data() {
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QSize>("mark");
    QTest::addColumn<QSize>("preview");
    QTest::addColumn<QPoint>("click");
    QTest::newRow("100 %") << 100 << QSize(606, 179) << QSize(240, 71) << QPoint(17, 150);
    QTest::newRow("37 %") << 37 << QSize(224, 66) << QSize(224, 66) << QPoint(301, 203);
}

// The logo's every part in the preview and in the video, at the size the
// zoom gives the whole picture.
void ResultPixelsTest::theWholeLogoAtItsZoom() {
    QFETCH(int, zoom);
    QFETCH(QSize, mark);
    QFETCH(QSize, preview);
    QFETCH(QPoint, click);
    const QImage logo = drawnLogo();
    const QString picture = folder_.filePath(QStringLiteral("logo.png"));
    QVERIFY(logo.save(picture, "PNG"));
    const QString video = folder_.filePath(QStringLiteral("logo clip.mkv"));
    QVERIFY(QFileInfo::exists(video) ||
            makeLosslessVideo(video, QStringLiteral("testsrc=size=640x360:rate=25"), 3));
    const QRect logoBox = visibleBox(logo);
    QVERIFY(logoBox.width() > 560 && logoBox.height() > 150);

    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    PositioningWindow* form = initializeThroughTheWindows(w, video, picture, zoom);
    QVERIFY(form);

    // The preview: the whole logo, by its aspect, scaled down to fit; its size
    // in the video under it.
    QCOMPARE(control<QLabel>(w, "Watermark size")->text(),
             QStringLiteral("%1 x %2 pixels").arg(mark.width()).arg(mark.height()));
    QCOMPARE(w.previewImage().size(), preview);
    const double f = double(preview.width()) / logo.width();
    const QRect shown = visibleBox(w.previewImage());
    QVERIFY2(qAbs(shown.left() - logoBox.left() * f) <= 2 && qAbs(shown.right() - logoBox.right() * f) <= 2 &&
                 qAbs(shown.top() - logoBox.top() * f) <= 2 &&
                 qAbs(shown.bottom() - logoBox.bottom() * f) <= 2,
             qPrintable(rectText(shown)));

    // The mark on the canvas is the whole picture at that size, too.
    auto* canvas = control<MarkCanvas>(*form, "Canvas");
    QTest::mousePress(canvas, Qt::LeftButton, {}, click);
    QCOMPARE(canvas->markRect().rect, QRect(click, mark));
    const QImage laid = canvas->laidMark();
    QCOMPARE(laid.size(), mark);
    const double g = double(mark.width()) / logo.width();
    const QRect laidBox = visibleBox(laid);
    QVERIFY2(
        qAbs(laidBox.left() - logoBox.left() * g) <= 2 && qAbs(laidBox.right() - logoBox.right() * g) <= 2,
        qPrintable(rectText(laidBox)));
    if (zoom == 100) QCOMPARE(laid, logo);
    QVERIFY(hasTransparency(laid));

    const QString result = convert(*form, QStringLiteral("logo clip.mkv"));
    QVERIFY(!result.isEmpty());
    for (const int index : {0, 2}) {
        const QImage out = frameOf(result, index, 640, 360);
        const QImage src = frameOf(video, index, 640, 360);
        QVERIFY(!out.isNull() && !src.isNull());
        const QImage want = blended(src, laid, QRect(click, mark), 100);
        const Difference d = difference(out, want, out.rect());
        QVERIFY2(d.most <= kBlendTolerance, qPrintable(described(d, out, want)));
    }
}

void ResultPixelsTest::phoneClipsKeepTheMarkUpright_data() {
    QTest::addColumn<int>("rotate");
    QTest::newRow("rotate 90") << 90;
    QTest::newRow("rotate 180") << 180;
    QTest::newRow("rotate 270") << 270;
}

// A phone stores its upright video as a landscape picture and a turn for the
// player. The mark, placed bottom right on the upright frame, must show
// there, upright, in the result as a player shows it.
void ResultPixelsTest::phoneClipsKeepTheMarkUpright() {
    QFETCH(int, rotate);
    const QSize coded(320, 180);
    const QString plain = folder_.filePath(QStringLiteral("coded.mp4"));
    int rc = 0;
    if (!QFileInfo::exists(plain))
        fixtures::runProgram(QStringLiteral("ffmpeg"),
                             {"-v", "error", "-f", "lavfi", "-i", "color=c=0x808080:size=320x180:rate=25",
                              "-frames:v", "3", "-c:v", "mpeg4", "-q:v", "2", "-y", plain},
                             &rc);
    QCOMPARE(rc, 0);
    const QString title = QStringLiteral("phone %1.mp4").arg(rotate);
    const QString video = folder_.filePath(title);
    fixtures::runProgram(QStringLiteral("ffmpeg"),
                         {"-v", "error", "-i", plain, "-c", "copy", "-metadata:s:v:0",
                          QStringLiteral("rotate=%1").arg(rotate), "-y", video},
                         &rc);
    QCOMPARE(rc, 0);
    // Read from the clip, not taken from the tag: Debian's ffmpeg stores
    // "rotate=90" as a quarter turn counterclockwise.
    const std::optional<rules::Orientation> turn = orientationOf(video);
    QVERIFY(turn && !turn->upright());

    // What the probe tells of such a clip.
    ChosenVideo chosen;
    chosen.path = video;
    chosen.title = title;
    chosen.duration = QStringLiteral("00:00:00.12");
    chosen.orientation = *turn;
    chosen.codedSize = coded;
    const rules::PixelSize up = rules::uprightSize({coded.width(), coded.height()}, *turn);
    chosen.frameSize = QSize(up.width, up.height);
    const QImage arrow = upArrow();
    {
        ModalAnswerer answer;
        PositioningWindow::initialize(chosen, arrow, arrow.size());
    }
    PositioningWindow& form = *PositioningWindow::loaded();
    QCOMPARE(control<MarkCanvas>(form, "Canvas")->frameSize(), chosen.frameSize);
    QCOMPARE(control<QDoubleSpinBox>(form, "Margin")->value(), 3.0);
    QTest::mouseClick(control<QToolButton>(form, "Bottom right"), Qt::LeftButton);
    const QString result = convert(form, title);
    QVERIFY(!result.isEmpty());

    // As ffmpeg shows it (turned as the clip asks), 3 % from the bottom-right corner.
    const QSize frame = chosen.frameSize;
    const QImage out = frameOf(result, 1, frame.width(), frame.height());
    QVERIFY2(!out.isNull(), "the result is shown upright");
    const QRect want(frame.width() - arrow.width() - qRound(0.03 * frame.width()),
                     frame.height() - arrow.height() - qRound(0.03 * frame.height()), arrow.width(),
                     arrow.height());
    const QRect box = boxOf(out, [](QRgb p) { return qGray(p) > 192; });
    QVERIFY2(qAbs(box.left() - want.left()) <= 1 && qAbs(box.top() - want.top()) <= 1 &&
                 qAbs(box.right() - want.right()) <= 1 && qAbs(box.bottom() - want.bottom()) <= 1,
             qPrintable(rectText(box) + " instead of " + rectText(want)));
    // Pointing up: like the arrow, unlike it upside down.
    const double upright = meanGreyDifference(out, want, arrow);
    const double turned = meanGreyDifference(out, want, arrow.mirrored(false, true));
    QVERIFY2(upright < 20 && upright * 3 < turned,
             qPrintable(QStringLiteral("%1, %2").arg(upright).arg(turned)));
}

void ResultPixelsTest::onePlacementOnSeveralFrames_data() {
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QRect>("rect");
    // A 606 x 179 logo, a fifth of the width, 3 % from the bottom-right edges.
    QTest::newRow("320x240") << QSize(320, 240) << QRect(246, 214, 64, 19);
    QTest::newRow("240x320 portrait") << QSize(240, 320) << QRect(185, 296, 48, 14);
    QTest::newRow("640x360") << QSize(640, 360) << QRect(493, 311, 128, 38);
}

void ResultPixelsTest::onePlacementOnSeveralFrames() {
    QFETCH(QSize, frame);
    QFETCH(QRect, rect);
    const QColor mark(240, 240, 240);
    const QString title = QStringLiteral("flat %1x%2.mkv").arg(frame.width()).arg(frame.height());
    const QString video = folder_.filePath(title);
    QVERIFY(makeLosslessVideo(
        video, QStringLiteral("color=c=0x204060:size=%1x%2:rate=25").arg(frame.width()).arg(frame.height()),
        2));
    QImage logo(606, 179, QImage::Format_RGB32);
    logo.fill(mark);

    ChosenVideo chosen;
    chosen.path = video;
    chosen.title = title;
    chosen.duration = QStringLiteral("00:00:00.08");
    chosen.frameSize = chosen.codedSize = frame;
    {
        ModalAnswerer answer;
        PositioningWindow::initialize(chosen, logo, logo.size());
    }
    PositioningWindow& form = *PositioningWindow::loaded();
    control<QDoubleSpinBox>(form, "Size")->setValue(20);
    QTest::mouseClick(control<QToolButton>(form, "Bottom right"), Qt::LeftButton);
    QCOMPARE(control<QLabel>(form, "Placement note")->text(), QString());
    const QString result = convert(form, title);
    QVERIFY(!result.isEmpty());

    const QImage out = frameOf(result, 1, frame.width(), frame.height());
    const QImage src = frameOf(video, 1, frame.width(), frame.height());
    QVERIFY(!out.isNull() && !src.isNull());
    const QRgb ground = src.pixel(0, 0);
    QCOMPARE(boxOf(src, [&](QRgb p) { return p != ground; }), QRect());
    QCOMPARE(boxOf(out, [&](QRgb p) { return p != ground; }), rect);
    QCOMPARE(boxOf(out, [&](QRgb p) { return QColor(p) == mark; }), rect);
}

void ResultPixelsTest::darkTextIsKept_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QColor>("ground");  // the logo's; transparent for none
    QTest::addColumn<QColor>("text");
    QTest::newRow("near-black text, PNG with alpha")
        << "PNG" << QColor(Qt::transparent) << QColor(20, 20, 20);
    QTest::newRow("black text on white, JPEG") << "JPG" << QColor(Qt::white) << QColor(Qt::black);
}

// With the settings as they come, nothing of a logo's dark text may be taken
// for the key colour and let the video through.
void ResultPixelsTest::darkTextIsKept() {
    QFETCH(QString, format);
    QFETCH(QColor, ground);
    QFETCH(QColor, text);
    QImage logo(200, 60, QImage::Format_ARGB32);
    logo.fill(ground);
    {
        QPainter p(&logo);
        p.setRenderHint(QPainter::Antialiasing);
        QFont font;
        font.setFamilies({QStringLiteral("DejaVu Sans")});
        font.setPixelSize(40);
        font.setBold(true);
        p.setFont(font);
        p.setPen(text);
        p.drawText(logo.rect(), Qt::AlignCenter, QStringLiteral("Dark"));
    }
    const QString picture = folder_.filePath(QStringLiteral("dark.") + format.toLower());
    QVERIFY(logo.save(picture, format.toLatin1().constData(), 90));
    const QString video = folder_.filePath(QStringLiteral("light.mkv"));
    QVERIFY(QFileInfo::exists(video) ||
            makeLosslessVideo(video, QStringLiteral("color=c=0xf0e0a0:size=320x240:rate=25"), 2));

    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    PositioningWindow* form = initializeThroughTheWindows(w, video, picture, 100);
    QVERIFY(form);
    const QImage laid = control<MarkCanvas>(*form, "Canvas")->laidMark();
    const QRect rect = control<MarkCanvas>(*form, "Canvas")->markRect().rect;
    QCOMPARE(rect, QRect(0, 0, 200, 60));
    const QString result = convert(*form, QStringLiteral("light.mkv"));
    QVERIFY(!result.isEmpty());

    const QImage out = frameOf(result, 1, 320, 240);
    const QImage src = frameOf(video, 1, 320, 240);
    QVERIFY(!out.isNull() && !src.isNull());
    const QImage want = blended(src, laid, rect, 100);
    int textPixels = 0;
    for (int y = 0; y < laid.height(); ++y)
        for (int x = 0; x < laid.width(); ++x) {
            const QRgb m = laid.pixel(x, y);
            if (qAlpha(m) < 128 || std::max({qRed(m), qGreen(m), qBlue(m)}) > 96) continue;
            ++textPixels;
            const Difference d = difference(out, want, QRect(x, y, 1, 1));
            QVERIFY2(d.most <= kBlendTolerance, qPrintable(described(d, out, want)));
        }
    QVERIFY2(textPixels > 300, qPrintable(QString::number(textPixels)));
}

void ResultPixelsTest::useText(MainWindow& w, const QString& text) {
    control<UserButton>(w, "Text…")->click();
    TextMarkWindow* window = TextMarkWindow::loaded();
    QVERIFY(window);
    control<QLineEdit>(*window, "Text")->setText(text);
    control<QFontComboBox>(*window, "Font")->setCurrentFont(QFont(QStringLiteral("DejaVu Sans")));
    control<QSpinBox>(*window, "Size")->setValue(16);
    control<QLineEdit>(*window, "Colour")->setText(QStringLiteral("ffffff"));
    control<QComboBox>(*window, "Edge")->setCurrentText(QStringLiteral("Outline"));
    control<QPushButton>(*window, "Use Text")->click();
}

TextMark whiteText(const QString& text) {
    TextMark mark;
    mark.text = text;
    mark.family = QFont(QStringLiteral("DejaVu Sans")).family();
    mark.pixelSize = 16;
    mark.colour = Qt::white;
    mark.edge = TextMark::Edge::Outline;
    return mark;
}

// One text, "© {name} {date}", on three videos: each result carries its own video's name and the
// day it was recorded (or, for a file that does not say, the day it was written), pixel for pixel
// the program's own drawing of that text.
void ResultPixelsTest::aTextOnThreeVideos() {
    struct Clip {
        QString title;
        const char* recorded;  // nullptr: the file says nothing
        QString text;          // what its result must show
    };
    const Clip clips[] = {
        {QStringLiteral("harbour.mkv"), "2021-03-04T12:00:00Z", QStringLiteral("© harbour 2021-03-04")},
        {QStringLiteral("mountain walk.mkv"), "2019-07-21T11:30:00Z",
         QStringLiteral("© mountain walk 2019-07-21")},
        {QStringLiteral("garden.mkv"), nullptr, QStringLiteral("© garden 2020-01-02")},
    };
    for (const Clip& c : clips) {
        QStringList args{"-v",        "error", "-f",   "lavfi", "-i",       "testsrc=size=320x240:rate=25",
                         "-frames:v", "2",     "-c:v", "ffv1",  "-pix_fmt", "bgr0"};
        if (c.recorded)
            args << "-metadata" << QStringLiteral("creation_time=%1").arg(QLatin1String(c.recorded));
        int rc = -1;
        fixtures::runProgram(QStringLiteral("ffmpeg"), args << "-y" << folder_.filePath(c.title), &rc);
        QCOMPARE(rc, 0);
    }
    QFile garden(folder_.filePath(QStringLiteral("garden.mkv")));
    QVERIFY(garden.open(QIODevice::ReadWrite));
    QVERIFY(
        garden.setFileTime(QDateTime(QDate(2020, 1, 2), QTime(12, 0)), QFileDevice::FileModificationTime));
    garden.close();

    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    useText(w, QStringLiteral("© {name} {date}"));
    for (const Clip& c : clips) {
        const QString video = folder_.filePath(c.title);
        OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return video; });
        control<UserButton>(w, "Video Selection")->click();
        {
            ModalAnswerer answer;
            control<UserButton>(w, "Initialize Watermarking")->click();
        }
        PositioningWindow* form = PositioningWindow::loaded();
        QVERIFY(form);
        auto* canvas = control<MarkCanvas>(*form, "Canvas");
        QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(8, 200));
        const TextMark want = whiteText(c.text);
        const QRect rect = canvas->markRect().rect;
        QCOMPARE(rect, QRect(QPoint(8, 200), textMarkSize(want)));
        const QString result = convert(*form, c.title);
        QVERIFY(!result.isEmpty());
        const QImage out = frameOf(result, 1, 320, 240);
        const QImage src = frameOf(video, 1, 320, 240);
        QVERIFY(!out.isNull() && !src.isNull());
        const QImage expected = blended(src, drawTextMark(want, rect.size()), rect, 100);
        const Difference d = difference(out, expected, out.rect());
        QVERIFY2(d.most <= kBlendTolerance, qPrintable(c.title + ": " + described(d, out, expected)));
    }

    // The same text as a job in the queue: each video its own name and date again, its letters as
    // large as the window laid them, wherever the length of the name makes the mark end.
    PositioningWindow* form = PositioningWindow::loaded();
    QVERIFY(form);
    const Job job = form->currentJob();
    QVERIFY(job.text);
    QStringList videos;
    for (const Clip& c : clips) {
        videos << folder_.filePath(c.title);
        QVERIFY(QFile::remove(folder_.filePath(QStringLiteral("watermarked/wm-") + c.title)));
    }
    setFileChoiceAnswer([&](const QString&) { return videos; });
    control<QPushButton>(*form, "Add Videos…")->click();
    setFileChoiceAnswer({});
    BatchWindow* queue = BatchWindow::loaded();
    QVERIFY(queue);
    QSignalSpy finished(queue, &BatchWindow::finished);
    control<QPushButton>(*queue, "Start")->click();
    QVERIFY(finished.wait(60000));
    for (int i = 0; i < 3; ++i) {
        const Clip& c = clips[i];
        QVERIFY2(queue->stateText(i).startsWith("done"), qPrintable(queue->stateText(i)));
        const QDateTime recorded =
            c.recorded ? QDateTime::fromString(QLatin1String(c.recorded), Qt::ISODate) : QDateTime();
        const Placement p = placementOf(job, QImage(), videos[i], recorded);
        QVERIFY(p.text());
        QCOMPARE(p.text()->text, c.text);
        const TextMark want = whiteText(c.text);
        const QRect rect = p.rectIn(QSize(320, 240)).rect;
        QVERIFY2(std::abs(rect.width() - textMarkSize(want).width()) <= 1 &&
                     std::abs(rect.height() - textMarkSize(want).height()) <= 1,
                 qPrintable(c.title));
        const QImage out =
            frameOf(folder_.filePath(QStringLiteral("watermarked/wm-") + c.title), 1, 320, 240);
        const QImage src = frameOf(videos[i], 1, 320, 240);
        QVERIFY(!out.isNull() && !src.isNull());
        const QImage expected = blended(src, drawTextMark(want, rect.size()), rect, 100);
        const Difference d = difference(out, expected, out.rect());
        // Qt's outlines of one text can differ by a shade at their antialiased edges from one
        // drawing to the next in a process; a wrong text or place would differ wholly.
        QVERIFY2(d.most <= 40, qPrintable(c.title + ": " + described(d, out, expected)));
    }
    queue->close();
}

void ResultPixelsTest::textIsDrawnAtItsSizeInTheFrame_data() {
    QTest::addColumn<int>("zoom");
    QTest::addColumn<double>("size");  // the Size control afterwards, per cent of the width; 0: as it comes
    QTest::newRow("100 %, its own size") << 100 << 0.0;
    QTest::newRow("1 %, then made wide") << 1 << 80.0;
}

// Whatever the zoom and the size control make of it, the text in the result is the drawing at the
// size it has in the frame: not the small drawing scaled up, whose edges are soft.
void ResultPixelsTest::textIsDrawnAtItsSizeInTheFrame() {
    QFETCH(int, zoom);
    QFETCH(double, size);
    const QString video = folder_.filePath(QStringLiteral("text ground.mkv"));
    QVERIFY(QFileInfo::exists(video) ||
            makeLosslessVideo(video, QStringLiteral("color=c=0x305080:size=320x240:rate=25"), 2));
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    useText(w, QStringLiteral("Sharp {name}"));
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return video; });
    control<UserButton>(w, "Video Selection")->click();
    control<QSlider>(w, "Picture zoom")->setValue(zoom);
    const TextMark want = whiteText(QStringLiteral("Sharp text ground"));
    const QSize atZoom = zoom::zoomedSize(textMarkSize(want), zoom);
    QCOMPARE(control<QLabel>(w, "Watermark size")->text(),
             QStringLiteral("%1 x %2 pixels").arg(atZoom.width()).arg(atZoom.height()));
    {
        ModalAnswerer answer;
        control<UserButton>(w, "Initialize Watermarking")->click();
    }
    PositioningWindow* form = PositioningWindow::loaded();
    QVERIFY(form);
    auto* canvas = control<MarkCanvas>(*form, "Canvas");
    QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(4, 100));
    if (size > 0) control<QDoubleSpinBox>(*form, "Size")->setValue(size);
    const QRect rect = canvas->markRect().rect;
    QVERIFY(rect.width() > 100);
    const QImage drawn = drawTextMark(want, rect.size());
    QCOMPARE(canvas->laidMark(), drawn);
    if (zoom < 100) QVERIFY(canvas->laidMark() != laidMark(drawTextMark(want, atZoom), rect.size()));

    const QString result = convert(*form, QStringLiteral("text ground.mkv"));
    QVERIFY(!result.isEmpty());
    const QImage out = frameOf(result, 1, 320, 240);
    const QImage src = frameOf(video, 1, 320, 240);
    QVERIFY(!out.isNull() && !src.isNull());
    const QImage expected = blended(src, drawn, rect, 100);
    const Difference d = difference(out, expected, out.rect());
    QVERIFY2(d.most <= kBlendTolerance, qPrintable(described(d, out, expected)));
}

// "From" 2 s, "Until" 6 s, "Fade" 1 s on a 10 s clip: the source before and after, half the mark
// in the middle of each fade, the whole mark from 3 s to 5 s.
void ResultPixelsTest::aMarkThatComesAndGoes() {
    const QString title = QStringLiteral("ten seconds.mkv");
    const QString video = folder_.filePath(title);
    QVERIFY(makeLosslessVideo(video, QStringLiteral("testsrc2=size=160x120:rate=10"), 100));
    ChosenVideo chosen;
    chosen.path = video;
    chosen.title = title;
    chosen.duration = QStringLiteral("00:00:10.00");
    chosen.frameSize = chosen.codedSize = QSize(160, 120);
    QImage logo(40, 30, QImage::Format_RGB32);
    logo.fill(Qt::white);
    {
        ModalAnswerer answer;
        PositioningWindow::initialize(chosen, logo, logo.size());
    }
    PositioningWindow& form = *PositioningWindow::loaded();
    QTest::mousePress(control<MarkCanvas>(form, "Canvas"), Qt::LeftButton, {}, QPoint(60, 40));
    for (const auto& [name, text] :
         {std::pair{"From", "2"}, std::pair{"Until", "0:06"}, std::pair{"Fade", "1"}}) {
        auto* field = control<QLineEdit>(form, name);
        field->setText(QLatin1String(text));
        emit field->editingFinished();
    }
    const QString result = convert(form, title);
    QVERIFY(!result.isEmpty());
    QCOMPARE(form.lastRun().range, (rules::TimeRange{2.0, 6.0, 1}));
    const QRect rect(60, 40, 40, 30);
    // Every frame in one read of each file.
    auto frames = [](const QString& file) {
        return fixtures::runProgram(QStringLiteral("ffmpeg"),
                                    {"-v", "error", "-i", file, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
    };
    const QByteArray outFrames = frames(result), srcFrames = frames(video);
    const qsizetype frameBytes = 160 * 120 * 3;
    QCOMPARE(outFrames.size(), 100 * frameBytes);
    QCOMPARE(srcFrames.size(), 100 * frameBytes);
    auto frameAt = [frameBytes](const QByteArray& all, int index) {
        return QImage(reinterpret_cast<const uchar*>(all.constData() + index * frameBytes), 160, 120, 160 * 3,
                      QImage::Format_RGB888)
            .convertToFormat(QImage::Format_RGB32);
    };
    for (const auto& [index, opacity] : {std::pair{19, 0}, std::pair{25, 50}, std::pair{30, 100},
                                         std::pair{40, 100}, std::pair{55, 50}, std::pair{60, 0}}) {
        const QImage out = frameAt(outFrames, index);
        const QImage src = frameAt(srcFrames, index);
        const QImage expected = blended(src, logo, rect, opacity);
        const Difference d = difference(out, expected, out.rect());
        QVERIFY2(d.most <= (opacity == 50 ? 2 : 0),
                 qPrintable(QStringLiteral("frame %1: ").arg(index) + described(d, out, expected)));
    }
}

QTEST_MAIN(ResultPixelsTest)
#include "result_pixels_test.moc"
