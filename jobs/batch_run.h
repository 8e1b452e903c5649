// A job run over many videos, at most `jobs` encoders at a time: each video
// is described, gets its own mask in a working folder of its own, and is
// converted by its own encoder. Widget-free: the queue window and the
// headless command both drive it by calling step().
//
// A result that already exists is complete (the encoder only ever gives a
// finished file the result's name), so it is skipped unless `replace`; a run
// stopped or killed halfway leaves its parts as "-stopped" files and no
// result, so running the same job again converts exactly what is not done.
#pragma once

#include "jobs/batch_video.h"
#include "jobs/job.h"
#include "jobs/video_run.h"
#include "runner/child_pool.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Encoders at a time where nothing says otherwise: two (an encoder leaves part of two cores idle, in
// its start and its end), or one per pair of cores on larger machines.
int defaultJobs();

struct BatchOptions {
    int jobs = defaultJobs();  // encoders at a time
    QString outputFolder;      // where the results go (made when missing)
    bool replace = false;      // convert again over an existing result
};

enum class VideoState { Waiting, Converting, Done, Skipped, Failed, Stopped };

// "waiting", "converting", "done", "skipped", "failed", "stopped".
const char* stateName(VideoState state);

struct BatchVideo {
    QString path;    // the source
    QString result;  // the result's path
    VideoState state = VideoState::Waiting;
    double percent = 0;
    double fps = 0;                    // frames a second, as the encoder says
    double speed = 0;                  // media seconds per second of work
    std::optional<double> etaSeconds;  // while converting, once the speed is known
    QString message;                   // why it failed, what was kept, what was skipped
    QSize frame;                       // the upright frame, once described
    double seconds = 0;                // the duration, once described
    QString reencoded;                 // a smart run: "re-encoded 0:00–0:12 of 3:00, the rest copied"
};

class BatchRun {
public:
    BatchRun(const Job& job, const QImage& picture, const QStringList& videos, const BatchOptions& options);
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;
    ~BatchRun();

    // Starts what may start and reads the encoders' output, waiting at most
    // `waitMs` for it; false once every video has reached its end.
    bool step(int waitMs);
    // Ends the run: no further video starts, each running encoder is asked
    // to stop (SIGTERM) and keeps its part; step() goes on until they end.
    void stop();
    bool stopping() const { return stopping_; }

    const std::vector<BatchVideo>& videos() const { return videos_; }
    // Called after a video's state or progress changed, with its index.
    std::function<void(std::size_t)> changed;

    // The whole batch: done share of the work (by duration) and the time
    // left, from the speed so far; nothing before any speed is known.
    double overallPercent() const;
    std::optional<double> overallEtaSeconds() const;

private:
    struct Running {
        std::size_t index = 0;
        int child = -1;  // its id in the pool
        VideoRun run;
        std::chrono::steady_clock::time_point started;
    };

    void startWaiting();
    bool start(std::size_t index, Running& run);
    void read(Running& run, std::string_view bytes);
    void finish(Running& run, int exitCode);
    void notify(std::size_t index);

    Placement placement_;
    Job job_;
    BatchOptions options_;
    std::vector<BatchVideo> videos_;
    std::vector<ProbeOutcome> described_;  // every video's, taken at the first step
    ChildPool pool_;
    std::vector<Running> running_;
    std::size_t next_ = 0;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
};
