#include "program.h"

#include "app/main_window.h"
#include "app/message.h"
#include "positioning/positioning_window.h"
#include "probe/video_probe.h"
#include "watermark/picture_preview.h"

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
    });
    // An open positioning window follows the video chosen now.
    QObject::connect(main, &MainWindow::videoDescribed, main, [main] {
        if (PositioningWindow* positioning = PositioningWindow::loaded())
            positioning->changeVideo(main->video());
    });
    return window;
}
