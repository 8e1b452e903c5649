#include "jobs/batch_run.h"

#include "jobs/program_paths.h"
#include "jobs/progress_parse.h"
#include "jobs/run_end.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <csignal>

namespace {

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

BatchRun::~BatchRun() = default;

void BatchRun::notify(std::size_t index) {
    if (changed) changed(index);
}

void BatchRun::stop() {
    if (stopping_) return;
    stopping_ = true;
    pool_.signalAll(SIGTERM);
}

bool BatchRun::step(int waitMs) {
    startWaiting();
    if (running_.empty()) return !stopping_ && next_ < videos_.size();
    const auto of = [this](int id) {
        return std::find_if(running_.begin(), running_.end(),
                            [id](const Running& r) { return r.child == id; });
    };
    pool_.wait(
        waitMs,
        [&](int id, std::string_view bytes) {
            if (auto r = of(id); r != running_.end()) read(*r, bytes);
        },
        [&](int id, std::int32_t code) {
            if (auto r = of(id); r != running_.end()) finish(*r, code);
        });
    std::erase_if(running_, [](const Running& r) { return r.child < 0; });
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
    const Placement mark =
        job_.text ? placementOf(job_, placement_.picture(), v.path, facts->recorded) : placement_;
    if (!QDir().mkpath(options_.outputFolder))
        return fail(QStringLiteral("cannot make the results folder %1").arg(options_.outputFolder));
    if (!run.run.prepare(job_, mark, v.path, *facts, v.result, &why)) return fail(why);
    run.child = pool_.start(run.run.arguments());
    if (run.child < 0)
        return fail(QStringLiteral("the encoder %1 could not be started")
                        .arg(programFolder() + u'/' + encoderName()));
    run.index = index;
    run.started = std::chrono::steady_clock::now();
    v.state = VideoState::Converting;
    notify(index);
    return true;
}

void BatchRun::read(Running& run, std::string_view bytes) {
    if (!run.run.take(QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())))) return;
    BatchVideo& v = videos_[run.index];
    const EncoderProgress& p = *run.run.progress();
    v.fps = p.fps;
    if (!p.reencoded.isEmpty()) v.reencoded = p.reencoded;
    const double wall = secondsSince(run.started);
    // The encoder's own speed, as the positioning window shows it; the wall clock's before it says one.
    v.speed = run.run.speed() ? *run.run.speed() : wall > 0 ? p.seconds / wall : 0;
    if (v.seconds > 0) {
        v.percent = run.run.percent();
        if (v.speed > 0) v.etaSeconds = std::max(0.0, (v.seconds - p.seconds) / v.speed);
    }
    notify(run.index);
}

void BatchRun::finish(Running& run, int code) {
    BatchVideo& v = videos_[run.index];
    run.child = -1;
    const RunEnd end = run.run.finish(code);
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
            v.message = lastEncoderLine(run.run.text());
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
        // A stopped video counts what its part holds, not the whole of it.
        const bool partly = v.state == VideoState::Converting || v.state == VideoState::Stopped;
        done += weight * (partly ? v.percent / 100 : 1.0);
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
