#include "probe/video_probe.h"

#include "app/main_window.h"
#include "app/shell.h"
#include "probe/probe_parse.h"
#include "runner/command_line.h"
#include "runner/console_capture.h"

VideoProbe::VideoProbe(MainWindow& window)
    : QObject(&window), window_(window), probeRunner_(std::make_shared<ConsoleCapture>()) {
    connect(probeRunner_.get(), &ConsoleCapture::output, this, &VideoProbe::onProbeOutput);
    connect(&window, &MainWindow::videoChosen, this, &VideoProbe::probeVideo);
    connect(&window, &MainWindow::closing, this, &VideoProbe::stop);
}

VideoProbe::~VideoProbe() = default;

void VideoProbe::probeVideo(const QString& path) {
    const QString line = quoteArg(commandLineSafePath(programFolder()) + u'/' + encoderName()) +
                         QStringLiteral(" -i ") + quoteArg(commandLineSafePath(path));
    // Our own reference keeps the runner alive if the probe drops it mid-run.
    if (const std::shared_ptr<ConsoleCapture> runner = probeRunner_) runner->run(line);
}

void VideoProbe::stop() {
    if (const std::shared_ptr<ConsoleCapture> runner = probeRunner_) runner->stop();
    probeRunner_.reset();
}

void VideoProbe::onProbeOutput(const QString& chunk) {
    if (const std::optional<QString> d = durationOf(chunk)) window_.setVideoDuration(*d);
    const ProbeFacts facts = parseProbeChunk(chunk);
    if (!facts.width || !facts.height) return;
    window_.setVideoFrame(*facts.width, *facts.height,
                          frameSizeOf(*facts.width, *facts.height).value_or(QSize()));
}
