// The whole journey through the real windows and the real encoder: choose a
// video and a picture, place the watermark, pick the mask colour, Start; and
// Stop and closing the window in the middle of a conversion.
#include "app/form1.h"
#include "app/forms.h"
#include "app/picture_box.h"
#include "app/shell.h"
#include "app/user_button.h"
#include "convert/form3.h"
#include "watermark/form4.h"

#include "tests/app/modal_answerer.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QByteArray run(const QString& program, const QStringList& args, int* exitCode = nullptr) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    if (exitCode) *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}

bool makeVideo(const QString& path, const QString& size, int seconds) {
    int rc = -1;
    run(QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"),   QStringLiteral("error"),
         QStringLiteral("-f"),   QStringLiteral("lavfi"),
         QStringLiteral("-i"),   QStringLiteral("testsrc=size=%1:rate=25").arg(size),
         QStringLiteral("-f"),   QStringLiteral("lavfi"),
         QStringLiteral("-i"),   QStringLiteral("sine=frequency=440:sample_rate=44100"),
         QStringLiteral("-t"),   QString::number(seconds),
         QStringLiteral("-c:v"), QStringLiteral("mpeg4"),
         QStringLiteral("-q:v"), QStringLiteral("2"),
         QStringLiteral("-c:a"), QStringLiteral("mp3"),
         QStringLiteral("-y"),   path},
        &rc);
    return rc == 0;
}

// Frame `index` of a video as RGB bytes.
QImage frameOf(const QString& video, int index, int w, int h) {
    const QByteArray raw = run(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), video, QStringLiteral("-vf"),
         QStringLiteral("select=eq(n\\,%1)").arg(index), QStringLiteral("-frames:v"), QStringLiteral("1"),
         QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"),
         QStringLiteral("rgb24"), QStringLiteral("-")});
    if (raw.size() != w * h * 3) return {};
    return QImage(reinterpret_cast<const uchar*>(raw.constData()), w, h, w * 3, QImage::Format_RGB888).copy();
}

double durationOf(const QString& video) {
    const QByteArray out =
        run(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"),
                                        QStringLiteral("-show_entries"), QStringLiteral("format=duration"),
                                        QStringLiteral("-of"), QStringLiteral("default=nw=1:nk=1"), video});
    bool ok = false;
    const double d = out.trimmed().toDouble(&ok);
    return ok ? d : -1;
}

// Processes whose executable is called `name`: only the test's own encoders
// carry that name.
int processesNamed(const QString& name) {
    int count = 0;
    QDir proc(QStringLiteral("/proc"));
    for (const QString& pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        pid.toInt(&isPid);
        if (!isPid) continue;
        const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
        if (exe.section(u'/', -1).startsWith(name)) ++count;
    }
    return count;
}

double cpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

}  // namespace

class ConversionTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void theWholeJourney_data();
    void theWholeJourney();
    void theKeyColourIsTheCanvasColour_data();
    void theKeyColourIsTheCanvasColour();
    void aFailedConversionSaysSo();
    void stopEndsTheFollowingButNotTheEncoder();
    void closingTheWindowEndsTheEncoder();
    void closingTheMainWindowDuringAConversionEndsIt();

private:
    // Chooses the video and the picture, Initialize, places the mark at (x, y).
    void prepare(Form1& w, const QString& video, int x, int y);

    QTemporaryDir folder_;  // the program folder of the test
    QString encoder_;       // the encoder's name there, the test's own
    QString shortVideo_;
    QString longVideo_;
    QString picture_;
};

void ConversionTest::initTestCase() {
    encoder_ = QStringLiteral("cv%1mxcode.dll").arg(::getpid());
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/mxcode.dll"), folder_.filePath(encoder_)));
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/watermark.dll"),
                        folder_.filePath(QStringLiteral("watermark.dll"))));
    shortVideo_ = folder_.filePath(QStringLiteral("my clip.avi"));
    longVideo_ = folder_.filePath(QStringLiteral("long take.avi"));
    QVERIFY(makeVideo(shortVideo_, QStringLiteral("320x240"), 2));
    QVERIFY(makeVideo(longVideo_, QStringLiteral("640x480"), 40));
    QImage mark(100, 50, QImage::Format_RGB32);
    mark.fill(QColor(255, 0, 0));
    picture_ = folder_.filePath(QStringLiteral("logo.bmp"));
    QVERIFY(mark.save(picture_, "BMP"));
}

void ConversionTest::init() {
    setProgramFolderForTesting(folder_.path());
    setEncoderNameForTesting(encoder_);
}

void ConversionTest::cleanup() {
    if (Form4* p = Form4::loaded()) p->close();
    if (Form3* f = Form3::loaded()) f->close();
    destroyIdleForms();
    OpenFileDialog::setAnswer({});
    setProgramFolderForTesting(QString());
    setEncoderNameForTesting(QString());
}

void ConversionTest::prepare(Form1& w, const QString& video, int x, int y) {
    QString next = video;
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return next; });
    w.Command6->click();
    QVERIFY(!w.vidres->text().isEmpty());
    next = picture_;
    w.browse->click();
    w.Slider1->setValue(50);  // a 50 x 25 watermark
    QCOMPARE(w.Image1->size(), QSize(50, 25));
    {
        ModalAnswerer answer;
        w.Command9->click();
        QCOMPARE(answer.texts(),
                 QStringList{QStringLiteral("Click on the canvas area to place your watermark")});
    }
    Form3* form = Form3::loaded();
    QVERIFY(form);
    QTest::mouseClick(form->Picture1, Qt::LeftButton, {}, QPoint(x, y));
}

void ConversionTest::theWholeJourney_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("spaces") << QStringLiteral("my clip.avi");
    QTest::newRow("quotes") << QStringLiteral("clip\" -f x \"y.avi");
    QTest::newRow("non-ASCII and backslash") << QStringLiteral("Fähre\\über.avi");
}

void ConversionTest::theWholeJourney() {
    QFETCH(QString, name);
    const QString video = folder_.filePath(name);
    QVERIFY(QFile::exists(video) || QFile::copy(shortVideo_, video));
    Form1 w;
    w.show();
    prepare(w, video, 200, 150);
    Form3& form = *Form3::loaded();
    QCOMPARE(form.Picture1->size(), QSize(320, 240));

    // A blue mask colour, saved; saving clears the canvas, so place it again.
    form.Command3->click();
    Form4* palette = Form4::loaded();
    QVERIFY(palette);
    palette->swatch_Click(6);
    palette->Command1->click();
    QTest::mouseClick(form.Picture1, Qt::LeftButton, {}, QPoint(200, 150));

    ModalAnswerer answer;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    form.Command2->click();
    const double wall = clock.elapsed() / 1000.0;
    qInfo("GUI CPU time during the conversion: %.3f s of %.3f s wall time", cpuSeconds() - cpuBefore, wall);
    QVERIFY(answer.texts().isEmpty());
    QCOMPARE(form.Label1->text(), QStringLiteral("Progress: 100%"));
    QCOMPARE(form.colormask, QStringLiteral("0000ff"));
    // What a user sees at the end, for the README.
    if (QTest::currentDataTag() == QByteArray("spaces"))
        QVERIFY(form.grab().save(QStringLiteral(WM_TEST_BIN_DIR "/positioning-window.png")));

    const QString result = folder_.filePath(QStringLiteral("watermarked/wm-") + name);
    QVERIFY(QFileInfo::exists(result));
    QVERIFY(durationOf(result) > 1.5);

    for (const int index : {0, 30}) {
        const QImage out = frameOf(result, index, 320, 240);
        const QImage src = frameOf(shortVideo_, index, 320, 240);
        QVERIFY(!out.isNull() && !src.isNull());
        // Inside the watermark (away from its edges): the picture's red.
        for (const QPoint p : {QPoint(205, 155), QPoint(224, 162), QPoint(244, 170)}) {
            const QColor c = out.pixelColor(p);
            QVERIFY2(c.red() > 200 && c.green() < 60 && c.blue() < 60, qPrintable(c.name()));
        }
        // Elsewhere: the video.
        double diff = 0;
        int n = 0;
        for (int y = 0; y < 240; y += 3) {
            for (int x = 0; x < 320; x += 3) {
                if (x >= 196 && x < 254 && y >= 146 && y < 179) continue;
                const QColor a = out.pixelColor(x, y);
                const QColor b = src.pixelColor(x, y);
                diff += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                        std::abs(a.blue() - b.blue());
                n += 3;
            }
        }
        QVERIFY2(diff / n < 6.0, qPrintable(QString::number(diff / n)));
    }
}

void ConversionTest::theKeyColourIsTheCanvasColour_data() {
    QTest::addColumn<QList<int>>("steps");  // swatch index, or -1 Save, -2 Restore Defaults
    QTest::addColumn<QString>("key");
    QTest::newRow("fresh window") << QList<int>{} << QStringLiteral("000000");
    QTest::newRow("swatch without saving") << QList<int>{4} << QStringLiteral("000000");
    QTest::newRow("swatch and save") << QList<int>{6, -1} << QStringLiteral("0000ff");
    QTest::newRow("restore after a saved colour") << QList<int>{6, -1, -2} << QStringLiteral("0000ff");
}

// Whatever the palette did, the encoder is keyed on the colour the mask's
// background really has.
void ConversionTest::theKeyColourIsTheCanvasColour() {
    QFETCH(QList<int>, steps);
    QFETCH(QString, key);
    Form1 w;
    w.show();
    prepare(w, shortVideo_, 0, 0);
    Form3& form = *Form3::loaded();
    form.Command3->click();
    Form4& palette = *Form4::loaded();
    for (const int step : steps) {
        if (step == -1)
            palette.Command1->click();
        else if (step == -2)
            palette.Command3->click();
        else
            palette.swatch_Click(step);
    }
    setEncoderNameForTesting(QStringLiteral("no-such-encoder"));  // nothing runs
    form.Command2->click();
    QCOMPARE(form.colormask, key);
}

void ConversionTest::aFailedConversionSaysSo() {
    Form1 w;
    w.show();
    prepare(w, shortVideo_, 0, 0);
    // Without its output folder the encoder cannot write the result.
    const QString out = folder_.filePath(QStringLiteral("watermarked"));
    const QString aside = folder_.filePath(QStringLiteral("watermarked-aside"));
    QVERIFY(QDir().rename(out, aside));
    ModalAnswerer answer;
    Form3::loaded()->Command2->click();
    QVERIFY(QDir().rename(aside, out));
    QCOMPARE(answer.texts().size(), 1);
    QVERIFY2(answer.texts().constFirst().startsWith(QStringLiteral("The conversion did not complete.\n")),
             qPrintable(answer.texts().constFirst()));
}

// Starts the conversion and acts once, when the first progress shows. Returns
// the caption shown then ("" when the run ended before any progress).
static QString startActingAtFirstProgress(Form3* form, const std::function<void()>& act) {
    QString shown;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (shown.isEmpty() && form->Label1->text() != QStringLiteral("Progress: 0%")) {
            shown = form->Label1->text();
            act();
        }
    });
    poll.start(20);
    form->Command2->click();
    return shown;
}

void ConversionTest::stopEndsTheFollowingButNotTheEncoder() {
    Form1 w;
    w.show();
    prepare(w, longVideo_, 10, 10);
    Form3* form = Form3::loaded();
    QVERIFY(form);

    ModalAnswerer answer;
    QVERIFY(!startActingAtFirstProgress(form, [&] { form->stop->click(); }).isEmpty());
    QVERIFY(answer.texts().isEmpty());
    const QString label = form->Label1->text();
    QTest::qWait(300);
    QCOMPARE(form->Label1->text(), label);

    // Unread, the encoder still converts to the end.
    QTRY_COMPARE_WITH_TIMEOUT(processesNamed(encoder_), 0, 60000);
    const QString result = folder_.filePath(QStringLiteral("watermarked/wm-long take.avi"));
    QVERIFY(durationOf(result) > 39);
}

void ConversionTest::closingTheWindowEndsTheEncoder() {
    Form1 w;
    w.show();
    prepare(w, longVideo_, 10, 10);
    Form3* form = Form3::loaded();
    QVERIFY(form);

    ModalAnswerer answer;
    QVERIFY(!startActingAtFirstProgress(form, [&] { form->close(); }).isEmpty());
    QVERIFY(answer.texts().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(processesNamed(encoder_), 0, 5000);
    // Ended early, and what it wrote so far plays.
    const double played = durationOf(folder_.filePath(QStringLiteral("watermarked/wm-long take.avi")));
    QVERIFY2(played > 0 && played < 39, qPrintable(QString::number(played)));
}

void ConversionTest::closingTheMainWindowDuringAConversionEndsIt() {
    Form1 w;
    w.show();
    prepare(w, longVideo_, 10, 10);
    QPointer<Form3> form = Form3::loaded();
    QVERIFY(form);
    form->Command3->click();  // the palette is open too
    QVERIFY(Form4::loaded());

    QVERIFY(!startActingAtFirstProgress(form, [&] { w.close(); }).isEmpty());
    QVERIFY(!w.isVisible());
    QVERIFY(!Form3::loaded());
    QVERIFY(!Form4::loaded());
    QTRY_COMPARE_WITH_TIMEOUT(processesNamed(encoder_), 0, 5000);
    // Closed windows go once nothing of theirs is running any more.
    QTRY_VERIFY(form.isNull());
}

QTEST_MAIN(ConversionTest)
#include "tst_conversion.moc"
