// "From", "Until" and "Fade" in the positioning window, and the time slider under the canvas:
// bad times answered in the window and refused by Start, and the canvas showing the frame of the
// moment chosen with the mark at the weight it has then.
#include "app/user_settings.h"
#include "jobs/program_paths.h"
#include "positioning/mark_canvas.h"
#include "positioning/positioning_window.h"
#include "runner/console_capture.h"

#include "tests/support/modal_answerer.h"
#include "tests/support/video_fixtures.h"
#include "tests/support/window_test_support.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

void typeTimes(PositioningWindow& form, const QString& from, const QString& until, const QString& fade) {
    for (const auto& [name, text] :
         {std::pair{"From", from}, std::pair{"Until", until}, std::pair{"Fade", fade}}) {
        auto* field = control<QLineEdit>(form, name);
        field->setText(text);
        emit field->editingFinished();
    }
}

QImage whiteMark() {
    QImage mark(40, 30, QImage::Format_RGB32);
    mark.fill(Qt::white);
    return mark;
}

}  // namespace

class TimeRangeWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void badTimesAreAnsweredInTheWindow_data();
    void badTimesAreAnsweredInTheWindow();
    void theCanvasShowsTheMomentChosen();

private:
    QTemporaryDir folder_;  // the program folder of the test
    QString video_;         // 10 s at 10 frames a second, 160 x 120, lossless
};

void TimeRangeWindowTest::initTestCase() {
    const QString encoder = QStringLiteral("tr%1mxcode.dll").arg(::getpid());
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/mxcode.dll"), folder_.filePath(encoder)));
    setProgramFolderForTesting(folder_.path());
    setEncoderNameForTesting(encoder);
    video_ = folder_.filePath(QStringLiteral("ten seconds.mkv"));
    QVERIFY(fixtures::makeLosslessVideo(video_, QStringLiteral("testsrc2=size=160x120:rate=10"), 100));
}

void TimeRangeWindowTest::init() {
    userSettings().clear();
}

void TimeRangeWindowTest::cleanup() {
    QTRY_VERIFY(closeProgramWindows());
}

void TimeRangeWindowTest::badTimesAreAnsweredInTheWindow_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("until");
    QTest::addColumn<QString>("fade");
    QTest::addColumn<QString>("problem");  // "" for a usable range
    QTest::newRow("the whole video") << ""
                                     << ""
                                     << ""
                                     << "";
    QTest::newRow("2 s to 6 s, 1 s fades") << "2"
                                           << "0:06"
                                           << "1"
                                           << "";
    QTest::newRow("not a time")
        << "abc"
        << ""
        << ""
        << "From \"abc\" is not a time: give seconds (75) or minutes and seconds (1:15).";
    QTest::newRow("From after Until") << "6"
                                      << "2"
                                      << ""
                                      << "Until (0:02) must come after From (0:06).";
    QTest::newRow("negative") << ""
                              << "-3"
                              << ""
                              << "Until cannot be negative.";
    QTest::newRow("past the end") << "0:12"
                                  << ""
                                  << ""
                                  << "From (0:12) is past the end of the video (0:10).";
    QTest::newRow("Fade longer than the range")
        << "2"
        << "4"
        << "1.5"
        << "Fade 1.5 s in and 1.5 s out is longer than the time from From to Until (2 s).";
    QTest::newRow("Fade above 10 s") << ""
                                     << ""
                                     << "12"
                                     << "Fade must be from 0 to 10 seconds.";
}

// The note under the canvas says what is wrong as soon as a field is left, and Start says it again
// instead of starting the encoder.
void TimeRangeWindowTest::badTimesAreAnsweredInTheWindow() {
    QFETCH(QString, from);
    QFETCH(QString, until);
    QFETCH(QString, fade);
    QFETCH(QString, problem);
    ChosenVideo video = videoOfFrame(QSize(160, 120));
    video.duration = QStringLiteral("00:00:10.00");
    PositioningWindow& form = initializedWith(video, whiteMark());
    QTest::mouseClick(control<MarkCanvas>(form, "Canvas"), Qt::LeftButton, {}, QPoint(10, 10));
    typeTimes(form, from, until, fade);
    QCOMPARE(control<QLabel>(form, "Placement note")->text(), problem);
    QCOMPARE(form.timeRange().has_value(), problem.isEmpty());
    if (problem.isEmpty()) return;
    ModalAnswerer answer;
    control<QPushButton>(form, "Start Watermarking")->click();
    QCOMPARE(answer.texts(), QStringList{problem});
    QVERIFY(form.conversionRunner()->commandLine().isEmpty());
    QCOMPARE(form.lastRun().video, QString());
}

// The frame at a tenth first, with the mark at its weight then (none, before From); the slider
// fetches another moment, and the mark shows at that moment's weight: half in the fade, whole
// after it, and at none only as a dashed frame where it stands.
void TimeRangeWindowTest::theCanvasShowsTheMomentChosen() {
    ChosenVideo video;
    video.path = video_;
    video.title = QStringLiteral("ten seconds.mkv");
    video.duration = QStringLiteral("00:00:10.00");
    video.frameSize = video.codedSize = QSize(160, 120);
    userSettings().setValue(QStringLiteral("mark/timeRange"), QStringList{"2", "6", "1"});
    PositioningWindow& form = initializedWith(video, whiteMark());
    auto* canvas = control<MarkCanvas>(form, "Canvas");
    auto* slider = control<QSlider>(form, "Frame shown");
    QCOMPARE(slider->value(), 1000);
    QCOMPARE(control<QLabel>(form, "Time of the frame shown")->text(), QStringLiteral("0:01"));
    QTRY_VERIFY(canvas->showsFrame());
    QCOMPARE(canvas->timeWeight(), 0.0);

    const QImage mark = whiteMark();
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(100, 70));
    for (const auto& [ms, weight] : {std::pair{2500, 0.5}, std::pair{4000, 1.0}, std::pair{6000, 0.0}}) {
        slider->setValue(ms);
        QCOMPARE(canvas->timeWeight(), weight);
        // A screen reader hears the time shown.
        QCOMPARE(accessible(form, QAccessible::StaticText, "Time of the frame shown")
                     ->text(QAccessible::Description),
                 control<QLabel>(form, "Time of the frame shown")->text());
        const int index = ms / 100;
        const QImage want = fixtures::frameOf(video_, index, 160, 120);
        QVERIFY(!want.isNull());
        // Away from the mark the canvas shows that frame; on it, the white mark at its weight.
        QTRY_COMPARE(canvas->grab().toImage().pixelColor(20, 100), want.pixelColor(20, 100));
        const QColor under = want.pixelColor(110, 80), shown = canvas->grab().toImage().pixelColor(110, 80);
        for (const auto& [got, below] :
             {std::pair{shown.red(), under.red()}, std::pair{shown.green(), under.green()},
              std::pair{shown.blue(), under.blue()}})
            QVERIFY2(qAbs(got - (255 * weight + below * (1 - weight))) <= 2,
                     qPrintable(QStringLiteral("%1 at %2 ms").arg(got).arg(ms)));
        // A hidden mark still shows where it stands.
        const QColor edge = canvas->grab().toImage().pixelColor(100, 80);
        if (weight == 0) QVERIFY(edge == QColor(Qt::white) || edge == QColor(Qt::black));
    }
}

QTEST_MAIN(TimeRangeWindowTest)
#include "time_range_window_test.moc"
