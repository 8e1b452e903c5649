#include "program.h"

#include "app/main_window.h"
#include "app/message.h"
#include "positioning/positioning_window.h"
#include "probe/video_probe.h"
#include "queue/batch_window.h"
#include "watermark/picture_preview.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTextStream>
#include <QTimer>

std::unique_ptr<MainWindow> buildProgram() {
    auto window = std::make_unique<MainWindow>();
    MainWindow* main = window.get();
    new VideoProbe(*main);  // owned by the window
    auto* picture = new PicturePreview(*main);
    QObject::connect(main, &MainWindow::initializeRequested, main, [main, picture] {
        const QSize frame = main->video().frameSize;
        if (!frame.isValid()) {
            msgBox(main, QStringLiteral("Please select a valid video file first"));
            return;
        }
        if (picture->path().isEmpty() && !picture->textMark()) {
            msgBox(main, QStringLiteral("Please select a watermark image first"));
            return;
        }
        // A text is filled for the video chosen now.
        if (picture->textMark()) picture->rebuild();
        // A picture that failed to load leaves an earlier preview (or the
        // placeholder) behind, which must not become the watermark.
        if (!picture->holdsChosenPicture()) {
            msgBox(main, QStringLiteral("Please select a valid picture first"));
            return;
        }
        PositioningWindow::initialize(main->video(), picture->picture(), picture->markSize(), picture->path(),
                                      picture->textMark());
        // A positioning window closed during its run: the main window says where the part went.
        if (PositioningWindow* positioning = PositioningWindow::loaded())
            QObject::connect(positioning, &PositioningWindow::closedDuringRun, main, &MainWindow::tell,
                             Qt::UniqueConnection);
    });
    // The main window's close takes the positioning window with it, without a question.
    QObject::connect(main, &MainWindow::closing, main, [] {
        if (PositioningWindow* positioning = PositioningWindow::loaded()) positioning->closeWithProgram();
    });
    // An open positioning window follows the video chosen now.
    QObject::connect(main, &MainWindow::videoDescribed, main, [main] {
        if (PositioningWindow* positioning = PositioningWindow::loaded())
            positioning->changeVideo(main->video());
    });
    return window;
}

void endOnQuitSignal(MainWindow& main, int signal, const std::function<void(int)>& exit, QTextStream& err,
                     std::chrono::milliseconds grace) {
    static bool ending = false;
    if (ending) return;
    ending = true;
    if (PositioningWindow* positioning = PositioningWindow::loaded()) positioning->stopForQuit();
    if (BatchWindow* queue = BatchWindow::loaded()) queue->stop();
    const auto running = [] {
        const PositioningWindow* positioning = PositioningWindow::loaded();
        const BatchWindow* queue = BatchWindow::loaded();
        return (positioning && positioning->converting()) || (queue && queue->running());
    };
    auto* clock = new QElapsedTimer;
    clock->start();
    auto* poll = new QTimer(&main);
    QObject::connect(poll, &QTimer::timeout, &main,
                     [poll, clock, running, grace, signal, exit, &err, w = QPointer<MainWindow>(&main)] {
                         if (running() && clock->elapsed() < grace.count()) return;
                         poll->stop();
                         poll->deleteLater();
                         delete clock;
                         // Where every part is, for the terminal or the session's log.
                         if (const PositioningWindow* positioning = PositioningWindow::loaded())
                             if (!positioning->endText().isEmpty())
                                 err << "watermark-image: " << positioning->endText() << "\n";
                         if (const BatchWindow* queue = BatchWindow::loaded())
                             for (int row = 0; row < queue->videos().size(); ++row)
                                 if (queue->stateText(row).startsWith(QStringLiteral("stopped")))
                                     err << "watermark-image: " << queue->videos()[row] << ": "
                                         << queue->stateText(row) << "\n";
                         err.flush();
                         ending = false;
                         if (w) w->close();
                         exit(128 + signal);
                     });
    poll->start(50);
}
