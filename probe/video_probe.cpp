#include "probe/video_probe.h"

#include "app/main_window.h"
#include "app/message.h"
#include "jobs/encoder_lines.h"
#include "jobs/path_links.h"
#include "jobs/program_paths.h"
#include "runner/command_line.h"
#include "runner/console_capture.h"

#include <QFileInfo>

namespace {

// Every description ends with this, as the probe names no output file; it
// says nothing about the video.
constexpr char kNoOutputNote[] = "At least one output file must be specified";
// A line is kept up to this many bytes, however long the encoder makes it.
constexpr qsizetype kMaxLine = 1024;

bool worthShowing(const QByteArray& line) {
    return !line.isEmpty() && line != kNoOutputNote;
}

}  // namespace

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
    // The links live while the encoder reads through them: run() returns when it ends.
    PathLinks links;
    const QString given = links.safePath(path);
    const QString line = probeCommandLine(links.safePath(programFolder()), encoderName(), given);
    const quint64 probe = ++probes_;
    if (!runner->commandLine().isEmpty()) {
        // Busy: the run in progress ends and nothing starts.
        runner->run(line);
        window_.clearVideoDetails();
        return;
    }
    if (!QFileInfo(encoder).isExecutable()) {
        window_.clearVideoDetails();
        window_.finishVideoDetails();
        msgBox(&window_, QStringLiteral("The encoder is missing: %1").arg(encoder));
        return;
    }
    sizeFound_ = false;
    durationFound_ = false;
    frameTold_ = false;
    orientation_ = {};
    lastLine_.clear();
    partialLine_.clear();
    window_.setVideoDetailsPending();
    runner->run(line);
    if (probe != probes_ || !probeRunner_) return;
    if (sizeFound_) {
        // A description without a duration leaves none, rather than "…".
        if (!durationFound_) window_.setVideoDuration(QString());
        window_.finishVideoDetails();
        return;
    }
    window_.clearVideoDetails();
    window_.finishVideoDetails();
    QString reason = lastLine();
    // The encoder names the file as it was given, which may be an alias of
    // an awkward name: the user knows it by the name chosen.
    if (!given.isEmpty() && given != path) reason.replace(given, path);
    QString text = QStringLiteral("Please select a valid video file");
    if (!reason.isEmpty()) text += u'\n' + reason;
    msgBox(&window_, text);
}

void VideoProbe::stop() {
    if (const std::shared_ptr<ConsoleCapture> runner = probeRunner_) runner->stop();
    probeRunner_.reset();
}

void VideoProbe::onProbeOutput(const QString& chunk) {
    noteLines(chunk);
    takeFacts(parseProbeChunk(chunk));
}

void VideoProbe::takeFacts(const ProbeFacts& facts) {
    if (facts.recorded) window_.setVideoRecorded(*facts.recorded);
    if (facts.transfer != rules::Transfer::Sdr) window_.setVideoTransfer(facts.transfer);
    if (facts.duration) {
        durationFound_ = true;
        window_.setVideoDuration(*facts.duration);
    }
    if (facts.width && facts.height) {
        width_ = *facts.width;
        height_ = *facts.height;
        frameTold_ = true;
    }
    if (facts.orientation) orientation_ = *facts.orientation;
    if (!frameTold_ || (!facts.width && !facts.orientation)) return;

    const std::optional<QSize> coded = frameSizeOf(width_, height_);
    sizeFound_ = sizeFound_ || coded.has_value();
    if (coded && orientation_.quarterTurns % 2 != 0) {
        // Shown a quarter turned: the upright width is the coded height.
        window_.setVideoFrame(QString::number(coded->height()), QString::number(coded->width()), *coded,
                              orientation_);
    } else {
        window_.setVideoFrame(width_, height_, coded.value_or(QSize()), orientation_);
    }
}

void VideoProbe::noteLines(const QString& chunk) {
    // The runner hands one character per byte: these are the encoder's bytes.
    partialLine_ += chunk.toLatin1();
    qsizetype start = 0;
    for (qsizetype i = 0; i < partialLine_.size(); ++i) {
        if (partialLine_[i] != '\n' && partialLine_[i] != '\r') continue;
        const QByteArray line = partialLine_.mid(start, i - start).trimmed();
        if (worthShowing(line)) lastLine_ = line;
        start = i + 1;
    }
    partialLine_.remove(0, start);
    partialLine_.truncate(kMaxLine);
}

QString VideoProbe::lastLine() const {
    const QByteArray unfinished = partialLine_.trimmed();
    return QString::fromUtf8(worthShowing(unfinished) ? unfinished : lastLine_);
}
