#include "probe/video_probe.h"

#include "app/main_window.h"
#include "app/message.h"
#include "app/shell.h"
#include "probe/probe_parse.h"
#include "runner/command_line.h"
#include "runner/console_capture.h"

#include <QFileInfo>

VideoProbe::VideoProbe(MainWindow& window)
    : QObject(&window), window_(window), probeRunner_(std::make_shared<ConsoleCapture>()) {
    connect(probeRunner_.get(), &ConsoleCapture::output, this, &VideoProbe::onProbeOutput);
    connect(&window, &MainWindow::videoChosen, this, &VideoProbe::probeVideo);
    connect(&window, &MainWindow::closing, this, &VideoProbe::stop);
}

VideoProbe::~VideoProbe() = default;

void VideoProbe::probeVideo(const QString& path) {
    // Our own reference keeps the runner alive if the probe drops it mid-run.
    const std::shared_ptr<ConsoleCapture> runner = probeRunner_;
    if (!runner) return;
    const QString encoder = programFolder() + u'/' + encoderName();
    const QString line = quoteArg(commandLineSafePath(programFolder()) + u'/' + encoderName()) +
                         QStringLiteral(" -i ") + quoteArg(commandLineSafePath(path));
    const quint64 probe = ++probes_;
    if (!runner->commandLine().isEmpty()) {
        // Busy: the run in progress ends and nothing starts.
        runner->run(line);
        window_.clearVideoDetails();
        return;
    }
    if (!QFileInfo(encoder).isExecutable()) {
        window_.clearVideoDetails();
        msgBox(&window_, QStringLiteral("The encoder is missing: %1").arg(encoder));
        return;
    }
    sizeFound_ = false;
    runner->run(line);
    if (probe != probes_ || !probeRunner_ || sizeFound_) return;
    window_.clearVideoDetails();
    msgBox(&window_, QStringLiteral("Please select a valid video file"));
}

void VideoProbe::stop() {
    if (const std::shared_ptr<ConsoleCapture> runner = probeRunner_) runner->stop();
    probeRunner_.reset();
}

void VideoProbe::onProbeOutput(const QString& chunk) {
    if (const std::optional<QString> d = durationOf(chunk)) window_.setVideoDuration(*d);
    const ProbeFacts facts = parseProbeChunk(chunk);
    if (!facts.width || !facts.height) return;
    const std::optional<QSize> frame = frameSizeOf(*facts.width, *facts.height);
    sizeFound_ = sizeFound_ || frame.has_value();
    window_.setVideoFrame(*facts.width, *facts.height, frame.value_or(QSize()));
}
