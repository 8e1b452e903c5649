// Times what the positioning window does for the eye, on the offscreen platform:
//   1. from "Initialize Watermarking" to the video's frame on the canvas, for a
//      given video through the real windows and encoder;
//   2. one repaint of a 4K canvas shown on a 1366 x 768 screen while the mark is
//      dragged, against the peer that scales the 4K frame at every repaint.
//
//   canvas_bench <program folder> <video> [repaints]
#include "app/main_window.h"
#include "app/open_file_dialog.h"
#include "jobs/program_paths.h"
#include "positioning/canvas_geometry.h"
#include "positioning/mark_canvas.h"
#include "positioning/positioning_window.h"
#include "program.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Presses OK on every message box while it lives.
void answerMessages() {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
    });
    timer->start(5);
}

int initializeToFrame(const QString& folder, const QString& video, int rounds) {
    setProgramFolderForTesting(folder);
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("logo.png"));
    QImage logo(200, 100, QImage::Format_ARGB32);
    logo.fill(QColor(250, 30, 30, 160));
    logo.save(picture, "PNG");
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return picture; });

    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const std::unique_ptr<MainWindow> window = buildProgram();
        window->show();
        window->openVideo(video);
        if (!window->video().frameSize.isValid()) {
            std::fprintf(stderr, "canvas_bench: the probe found no frame size in %s\n", qPrintable(video));
            return 2;
        }
        window->choosePicture();
        QElapsedTimer clock;
        clock.start();
        emit window->initializeRequested();
        PositioningWindow* form = PositioningWindow::loaded();
        MarkCanvas* canvas = form ? form->findChild<MarkCanvas*>() : nullptr;
        while (canvas && !canvas->showsFrame() && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (!canvas || !canvas->showsFrame()) {
            std::fprintf(stderr, "canvas_bench: no frame reached the canvas\n");
            return 2;
        }
        times.push_back(clock.nsecsElapsed() / 1e6);
        form->close();
        window->close();
        QCoreApplication::processEvents();
    }
    std::printf("initialize to frame on canvas: median %.1f ms over %d rounds (goal under 300 ms)\n",
                median(times), rounds);
    return 0;
}

void dragRepaint(int repaints) {
    const QSize frame(3840, 2160);
    const canvas::View view = canvas::fitFrame(frame, QSize(1366, 738));
    QImage picture(frame, QImage::Format_RGB32);
    {
        QPainter p(&picture);
        for (int x = 0; x < frame.width(); x += 64)
            p.fillRect(x, 0, 64, frame.height(), QColor::fromHsv(x / 64 * 7 % 360, 200, 220));
    }
    // A wide logo with a soft edge, at its own size.
    QImage mark(606, 179, QImage::Format_ARGB32);
    mark.fill(QColor(255, 255, 255, 140));

    MarkCanvas canvas;
    canvas.setView(frame, view.scale, view.view);
    canvas.setFrame(picture);
    Placement placement;
    placement.setPicture(mark);
    placement.setPixelWidth(mark.width(), frame.width());
    placement.placeAt(QPoint(100, 100), frame);
    canvas.setPlacement(placement);
    canvas.setMarkShown(true);
    canvas.show();
    QImage target(view.view, QImage::Format_RGB32);

    std::vector<double> ours, peer;
    for (int i = 0; i < repaints; ++i) {
        const QPoint at(100 + (i * 37) % 3000, 100 + (i * 23) % 1700);
        QElapsedTimer clock;
        clock.start();
        canvas.moveMarkTo(at);
        canvas.render(&target);
        ours.push_back(clock.nsecsElapsed() / 1e6);

        clock.restart();
        QPainter p(&target);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRectF(QPointF(0, 0), QSizeF(view.view)), picture);
        p.drawImage(QRectF(canvas::viewPointOf(at, view.scale), QSizeF(mark.size()) * view.scale), mark);
        p.end();
        peer.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::printf(
        "4K canvas shown at %dx%d, one repaint while dragging: median %.2f ms (goal under 16 ms); "
        "scaling the frame at every repaint instead: %.2f ms\n",
        view.view.width(), view.view.height(), median(ours), median(peer));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: canvas_bench <program folder> <video> [repaints]\n");
        return 2;
    }
    answerMessages();
    const int repaints = argc > 3 ? std::max(1, std::atoi(argv[3])) : 200;
    if (const int rc = initializeToFrame(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]), 7))
        return rc;
    dragRepaint(repaints);
    return 0;
}
