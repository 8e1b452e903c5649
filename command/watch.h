// A folder watched for videos that appear in it, for people who drop videos on a shared disk and
// walk away: each is converted once it is whole, one line a video, never the same one twice.
#pragma once

#include "jobs/batch_run.h"
#include "jobs/job.h"

#include <QDateTime>
#include <QImage>
#include <QSet>
#include <QString>

#include <functional>

class QTextStream;

// Of `files` (canonical paths), those some process holds open for writing, as far as /proc shows
// this user (all of them for root).
QSet<QString> openForWriting(const QSet<QString>& files);

// A file as the watch last saw it.
struct WatchedFile {
    qint64 size = -1;
    QDateTime modified;
    int steadyScans = 0;  // scans in a row it was seen unchanged
};

// Whether a file seen again at this size and time is whole enough to convert: unchanged over
// `kSteadyScans` scans (a second apart) and not empty. Updates `seen`.
inline constexpr int kSteadyScans = 2;
bool steadyAgain(WatchedFile& seen, qint64 size, const QDateTime& modified);

// Watches `folder` until SIGTERM, SIGINT or SIGHUP: converts each video that appears whole into
// options.outputFolder, at most options.jobs at a time; a video whose result is there is done. Each
// ended video gets `line(video)` on `out`. Gives 128 + the signal; the running encoders keep
// their parts.
int runWatch(const Job& job, const QImage& picture, const QString& folder, const BatchOptions& options,
             QTextStream& out, const std::function<void(const BatchVideo&)>& line);
