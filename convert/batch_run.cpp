#include "convert/batch_run.h"

#include "app/encoder_lines.h"
#include "app/shell.h"
#include "convert/progress_parse.h"
#include "convert/run_end.h"
#include "runner/command_line.h"
#include "watermark/color_text.h"
#include "watermark/working_bitmaps.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

namespace {

// The output kept per encoder: enough for its last lines and its progress.
constexpr qsizetype kKeptOutput = 16384;

bool nameTaken(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

double secondsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

int defaultJobs() {
    return std::max(2, QThread::idealThreadCount() / 2);
}

const char* stateName(VideoState state) {
    switch (state) {
        case VideoState::Waiting:
            return "waiting";
        case VideoState::Converting:
            return "converting";
        case VideoState::Done:
            return "done";
        case VideoState::Skipped:
            return "skipped";
        case VideoState::Failed:
            return "failed";
        case VideoState::Stopped:
            return "stopped";
    }
    return "";
}

std::optional<EncoderProgress> lastProgress(const QString& text) {
    // Progress lines end in "\r"; the last one whole is the news.
    static const QRegularExpression line(
        QStringLiteral("frame=\\s*(\\d+)\\s+fps=\\s*([0-9.]+)\\s.*?time=([0-9.]+)\\s[^\\r\\n]*\\r"));
    std::optional<EncoderProgress> last;
    QRegularExpressionMatchIterator it = line.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        last =
            EncoderProgress{m.captured(1).toLongLong(), m.captured(2).toDouble(), m.captured(3).toDouble()};
    }
    return last;
}

BatchRun::BatchRun(const Job& job, const QImage& picture, const QStringList& videos,
                   const BatchOptions& options)
    : placement_(placementOf(job, picture)), job_(job), options_(options) {
    options_.jobs = std::max(1, options_.jobs);
    const QStringList results = resultPaths(videos, options_.outputFolder, job.prefix, job.output);
    for (qsizetype i = 0; i < videos.size(); ++i) {
        BatchVideo v;
        v.path = videos[i];
        v.result = results[i];
        videos_.push_back(v);
    }
}

BatchRun::~BatchRun() {
    // Ended like any of the runner's children: asked first, killed only if
    // they outstay the grace, reaped by the program's end.
    for (Running& r : running_) {
        if (!r.child) continue;
        signalChild(*r.child, SIGTERM);
        handOverChild(std::move(*r.child), std::chrono::steady_clock::now() + kKillGrace);
    }
}

void BatchRun::notify(std::size_t index) {
    if (changed) changed(index);
}

void BatchRun::stop() {
    if (stopping_) return;
    stopping_ = true;
    for (Running& r : running_)
        if (r.child) signalChild(*r.child, SIGTERM);
}

bool BatchRun::step(int waitMs) {
    startWaiting();
    if (running_.empty()) return !stopping_ && next_ < videos_.size();

    std::vector<pollfd> polls;
    for (const Running& r : running_)
        polls.push_back(pollfd{r.child->output.get(), POLLIN, 0});
    if (::poll(polls.data(), polls.size(), waitMs) <= 0) return true;
    for (std::size_t i = 0; i < polls.size(); ++i)
        if (polls[i].revents) read(running_[i]);
    std::erase_if(running_, [](const Running& r) { return !r.child; });
    return true;
}

void BatchRun::startWaiting() {
    if (described_.empty() && !videos_.empty()) {
        QStringList paths;
        for (const BatchVideo& v : videos_)
            paths << v.path;
        described_ = probeVideos(paths);
    }
    while (!stopping_ && next_ < videos_.size() && static_cast<int>(running_.size()) < options_.jobs) {
        Running run;
        if (start(next_++, run)) running_.push_back(std::move(run));
    }
}

bool BatchRun::start(std::size_t index, Running& run) {
    BatchVideo& v = videos_[index];
    const auto fail = [&](const QString& why) {
        v.state = VideoState::Failed;
        v.message = why;
        notify(index);
        return false;
    };
    if (nameTaken(v.result) && !options_.replace) {
        v.state = VideoState::Skipped;
        v.percent = 100;
        v.message = QStringLiteral("%1 is already there").arg(QFileInfo(v.result).fileName());
        notify(index);
        return false;
    }
    QString why;
    const std::optional<VideoFacts>& facts = described_[index].facts;
    if (!facts) return fail(described_[index].why);
    v.frame = facts->upright;
    v.seconds = facts->seconds;
    // A text is filled for each video: its own name and date.
    const Placement placement =
        job_.text ? placementOf(job_, placement_.picture(), v.path, facts->recorded) : placement_;
    const std::optional<VideoMask> mask = maskFor(placement, *facts, &why);
    if (!mask) return fail(why);
    if (!QDir().mkpath(options_.outputFolder))
        return fail(QStringLiteral("cannot make the results folder %1").arg(options_.outputFolder));
    run.folder = WorkFolder::create(&why);
    if (!run.folder) return fail(QStringLiteral("no working folder: %1").arg(why));
    if (!writeMaskBitmap(*run.folder, mask->mask.image, mask->mask.withAlpha, &why))
        return fail(QStringLiteral("cannot write %1: %2").arg(maskBitmapPath(*run.folder), why));

    ConversionRun line;
    line.programFolder = commandLineSafePath(programFolder());
    line.encoder = encoderName();
    line.video = commandLineSafePath(v.path);
    line.mask = commandLineSafePath(maskBitmapPath(*run.folder));
    line.maskColour = rrggbbOf(mask->key);
    line.result = v.result;
    line.enhanceAudio = job_.enhanceAudio;
    line.output = job_.output;
    line.range = job_.range;
    line.opacity = placement_.opacity();
    if (line.programFolder.isEmpty() || line.video.isEmpty() || line.mask.isEmpty())
        return fail(QStringLiteral("a path cannot be handed to the encoder"));
    run.child = startChild(toNativeArguments(splitCommandLine(conversionCommandLine(line))));
    if (!run.child)
        return fail(QStringLiteral("the encoder %1 could not be started")
                        .arg(programFolder() + u'/' + encoderName()));
    run.index = index;
    run.started = std::chrono::steady_clock::now();
    v.state = VideoState::Converting;
    notify(index);
    return true;
}

void BatchRun::read(Running& run) {
    char buffer[16384];
    ssize_t got;
    do {
        got = ::read(run.child->output.get(), buffer, sizeof buffer);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        finish(run);
        return;
    }
    run.text = (run.text + QString::fromLatin1(buffer, got)).right(kKeptOutput);
    BatchVideo& v = videos_[run.index];
    const std::optional<EncoderProgress> p = lastProgress(run.text);
    if (!p) return;
    v.fps = p->fps;
    const double wall = secondsSince(run.started);
    // The encoder's own speed, as the positioning window shows it; the wall clock's before it says one.
    const std::optional<double> speed = speedOf(run.text);
    v.speed = speed ? *speed : wall > 0 ? p->seconds / wall : 0;
    if (v.seconds > 0) {
        v.percent = std::clamp(p->seconds / v.seconds * 100, 0.0, 100.0);
        if (v.speed > 0) v.etaSeconds = std::max(0.0, (v.seconds - p->seconds) / v.speed);
    }
    notify(run.index);
}

void BatchRun::finish(Running& run) {
    BatchVideo& v = videos_[run.index];
    const int code = collectExitCode(std::move(*run.child), kExitGrace);
    run.child.reset();
    run.folder.reset();
    const RunEnd end = endOfRun(code, static_cast<int>(v.percent), v.result, run.text);
    v.etaSeconds.reset();
    switch (end.kind) {
        case RunEnd::Kind::Done:
            v.state = VideoState::Done;
            v.percent = 100;
            v.message = v.result;
            break;
        case RunEnd::Kind::Stopped:
            v.state = VideoState::Stopped;
            v.message = end.path.isEmpty() ? end.text : end.path;
            break;
        case RunEnd::Kind::Failed:
            v.state = VideoState::Failed;
            v.message = lastEncoderLine(run.text);
            if (v.message.isEmpty()) v.message = end.text;
            break;
    }
    notify(run.index);
}

double BatchRun::overallPercent() const {
    double total = 0, done = 0;
    for (const BatchVideo& v : videos_) {
        const double weight = v.seconds > 0 ? v.seconds : 1;
        total += weight;
        if (v.state == VideoState::Waiting) continue;
        done += weight * (v.state == VideoState::Converting ? v.percent / 100 : 1.0);
    }
    return total > 0 ? done / total * 100 : 100;
}

std::optional<double> BatchRun::overallEtaSeconds() const {
    // Work done so far, in media seconds, over the time it took, all lanes together.
    double media = 0, left = 0;
    for (const BatchVideo& v : videos_) {
        const double length = v.seconds > 0 ? v.seconds : 0;
        switch (v.state) {
            case VideoState::Done:
                media += length;
                break;
            case VideoState::Converting:
                media += length * v.percent / 100;
                left += length * (1 - v.percent / 100);
                break;
            case VideoState::Waiting:
                left += length;
                break;
            default:
                break;
        }
    }
    const double wall = secondsSince(began_);
    if (media <= 0 || wall <= 0) return std::nullopt;
    return left / (media / wall);
}
