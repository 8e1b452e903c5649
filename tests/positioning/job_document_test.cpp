// The positioning window's document is a job: what the user decides there is
// remembered whole (the size too), follows the video the main window chooses,
// and the window opens with the frame's shape and no box to dismiss.
#include "app/main_window.h"
#include "app/picture_box.h"
#include "app/user_button.h"
#include "app/user_settings.h"
#include "jobs/program_paths.h"
#include "positioning/mark_canvas.h"
#include "positioning/positioning_window.h"
#include "program.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/video_fixtures.h"
#include "tests/support/window_test_support.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <unistd.h>

namespace {

// The size of the canvas at its first paint.
class FirstPaint : public QObject {
public:
    QSize size;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Paint && !size.isValid()) size = static_cast<QWidget*>(watched)->size();
        return false;
    }
};

}  // namespace

class JobDocumentTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void theSizeIsRememberedWhileTheZoomStays();
    void anotherVideoMovesTheOpenWindow();
    void theCanvasHasTheFramesShapeFromTheFirstPaint();

private:
    // Chooses the video through Video Selection, as a user does.
    void chooseVideo(MainWindow& w, const QString& video);
    // Chooses the picture at `zoom` and presses Initialize; no box may come.
    PositioningWindow* initialize(MainWindow& w, int zoom);

    QTemporaryDir folder_;
    QString landscape_, portrait_, picture_;
};

void JobDocumentTest::initTestCase() {
    const QString encoder = QStringLiteral("jd%1mxcode.dll").arg(::getpid());
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/mxcode.dll"), folder_.filePath(encoder)));
    QVERIFY(QFile::copy(QStringLiteral(WM_PROGRAM_DIR "/watermark.dll"), folder_.filePath("watermark.dll")));
    setEncoderNameForTesting(encoder);
    landscape_ = folder_.filePath("wide clip.avi");
    portrait_ = folder_.filePath("tall clip.avi");
    QVERIFY(fixtures::makeVideo(landscape_, "320x240", 1));
    QVERIFY(fixtures::makeVideo(portrait_, "144x256", 1));
    QImage mark(100, 50, QImage::Format_RGB32);
    mark.fill(QColor(255, 0, 0));
    picture_ = folder_.filePath("logo.png");
    QVERIFY(mark.save(picture_, "PNG"));
}

void JobDocumentTest::init() {
    userSettings().clear();
    QDir(folder_.filePath("watermarked")).removeRecursively();
    setProgramFolderForTesting(folder_.path());
}

void JobDocumentTest::cleanup() {
    QVERIFY(closeProgramWindows());
    destroyClosedWindows();
    OpenFileDialog::setAnswer({});
    setProgramFolderForTesting(QString());
}

void JobDocumentTest::chooseVideo(MainWindow& w, const QString& video) {
    OpenFileDialog::setAnswer([video](const OpenFileDialog&) { return video; });
    control<UserButton>(w, "Video Selection")->click();
    QVERIFY(w.video().frameSize.isValid());
}

PositioningWindow* JobDocumentTest::initialize(MainWindow& w, int zoom) {
    OpenFileDialog::setAnswer([this](const OpenFileDialog&) { return picture_; });
    control<UserButton>(w, "Image Selection")->click();
    control<QSlider>(w, "Picture zoom")->setValue(zoom);
    ModalAnswerer answer;
    control<UserButton>(w, "Initialize Watermarking")->click();
    if (!answer.texts().isEmpty()) qWarning() << "Initialize said" << answer.texts();
    return answer.texts().isEmpty() ? PositioningWindow::loaded() : nullptr;
}

void JobDocumentTest::theSizeIsRememberedWhileTheZoomStays() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    chooseVideo(w, landscape_);
    PositioningWindow* form = initialize(w, 50);  // 50 pixels: 15.625 % of 320
    QVERIFY(form);
    QCOMPARE(form->currentJob().widthPercent, 15.625);
    // The hint is a line under the canvas; it goes once the user places the mark.
    QVERIFY(form->noteText().startsWith("Click on the canvas area to place your watermark"));
    control<QDoubleSpinBox>(*form, "Size")->setValue(20);
    control<QToolButton>(*form, "Bottom right")->click();
    QVERIFY(!form->noteText().contains("Click on the canvas area"));
    QCOMPARE(form->currentJob().widthPercent, 20.0);
    QCOMPARE(form->currentJob().anchor, Anchor::BottomRight);
    form->close();
    destroyClosedWindows();

    // Reopened with the zoom as it was: the size the user chose, where it was.
    form = initialize(w, 50);
    QVERIFY(form);
    QCOMPARE(form->currentJob().widthPercent, 20.0);
    QCOMPARE(form->currentJob().anchor, Anchor::BottomRight);
    QCOMPARE(control<QDoubleSpinBox>(*form, "Size")->value(), 20.0);
    QCOMPARE(control<MarkCanvas>(*form, "Canvas")->markRect().rect.width(), 64);
    // A new zoom is a new size.
    form = initialize(w, 25);
    QVERIFY(form);
    QCOMPARE(control<MarkCanvas>(*form, "Canvas")->markRect().rect.width(), 25);
    QCOMPARE(form->currentJob().anchor, Anchor::BottomRight);
}

void JobDocumentTest::anotherVideoMovesTheOpenWindow() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    chooseVideo(w, landscape_);
    PositioningWindow* form = initialize(w, 50);
    QVERIFY(form);
    control<QToolButton>(*form, "Bottom right")->click();
    {
        ModalAnswerer answer;
        control<QPushButton>(*form, "Start Watermarking")->click();
        QVERIFY2(answer.texts().isEmpty(), qPrintable(answer.texts().join('|')));
    }
    QVERIFY2(form->endText().startsWith("Done and checked: wm-wide clip.avi"), qPrintable(form->endText()));

    // Another video: the window stands for its frame, the old line goes, and
    // the next Start makes this video's result without asking about the old one's name.
    chooseVideo(w, portrait_);
    QCOMPARE(PositioningWindow::loaded(), form);
    QCOMPARE(control<MarkCanvas>(*form, "Canvas")->frameSize(), QSize(144, 256));
    QCOMPARE(form->video().path, portrait_);
    QCOMPARE(form->endText(), QString());
    QCOMPARE(form->currentJob().anchor, Anchor::BottomRight);
    {
        ModalAnswerer answer;
        control<QPushButton>(*form, "Start Watermarking")->click();
        QVERIFY2(answer.texts().isEmpty(), qPrintable(answer.texts().join('|')));
    }
    QVERIFY2(form->endText().startsWith("Done and checked: wm-tall clip.avi"), qPrintable(form->endText()));
    QVERIFY(QFileInfo::exists(folder_.filePath("watermarked/wm-tall clip.avi")));
}

void JobDocumentTest::theCanvasHasTheFramesShapeFromTheFirstPaint() {
    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    chooseVideo(w, portrait_);
    FirstPaint paint;
    // The canvas is made with the window: watch for it as it comes.
    struct Watch : QObject {
        FirstPaint* paint;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::ChildAdded || e->type() == QEvent::Polish)
                if (auto* canvas = qobject_cast<MarkCanvas*>(o)) canvas->installEventFilter(paint);
            return false;
        }
    } watch;
    watch.paint = &paint;
    qApp->installEventFilter(&watch);
    PositioningWindow* form = initialize(w, 50);
    QVERIFY(form);
    QTRY_VERIFY(paint.size.isValid());
    qApp->removeEventFilter(&watch);
    QCOMPARE(paint.size, QSize(144, 256));
}

QTEST_MAIN(JobDocumentTest)
#include "job_document_test.moc"
