#include "command/watch.h"

#include "jobs/batch_video.h"
#include "jobs/program_paths.h"
#include "runner/child_pool.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QThread>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <memory>

namespace {

using Folder = std::unique_ptr<DIR, int (*)(DIR*)>;

Folder openFolder(const QByteArray& path) {
    return Folder(::opendir(path.constData()), &::closedir);
}

}  // namespace

QSet<QString> openForWriting(const QSet<QString>& files) {
    QSet<QString> writing;
    if (files.isEmpty()) return writing;
    const Folder proc = openFolder("/proc");
    if (!proc) return writing;
    while (const dirent* p = ::readdir(proc.get())) {
        const QByteArray pid(p->d_name);
        if (pid.isEmpty() || pid.front() < '1' || pid.front() > '9') continue;
        const QByteArray fdPath = "/proc/" + pid + "/fd/";
        // Another user's process is closed to us unless we are root: only what we may see counts.
        const Folder fds = openFolder(fdPath);
        if (!fds) continue;
        while (const dirent* f = ::readdir(fds.get())) {
            if (f->d_name[0] == '.') continue;
            char target[4096];
            const ssize_t n = ::readlink((fdPath + f->d_name).constData(), target, sizeof target);
            if (n <= 0 || n == sizeof target) continue;
            const QString path = QFile::decodeName(QByteArray(target, static_cast<int>(n)));
            if (!files.contains(path)) continue;
            QFile info(QString::fromLatin1("/proc/" + pid + "/fdinfo/" + f->d_name));
            if (!info.open(QIODevice::ReadOnly)) continue;
            for (const QByteArray& row : info.readAll().split('\n'))
                if (row.startsWith("flags:")) {
                    bool ok = false;
                    const int flags = row.mid(6).trimmed().toInt(&ok, 8);
                    if (ok && (flags & O_ACCMODE) != O_RDONLY) writing.insert(path);
                }
        }
    }
    return writing;
}

bool steadyAgain(WatchedFile& seen, qint64 size, const QDateTime& modified) {
    if (size == seen.size && modified == seen.modified) {
        ++seen.steadyScans;
    } else {
        seen = WatchedFile{size, modified, 0};
    }
    return size > 0 && seen.steadyScans >= kSteadyScans;
}

int runWatch(const Job& job, const QImage& picture, const QString& folder, const BatchOptions& options,
             QTextStream& out, const std::function<void(const BatchVideo&)>& line) {
    const StopSignals stopSignals;
    std::map<QString, WatchedFile> seen;
    // What was converted (or failed) at which size and time: a file changed since is new again.
    std::map<QString, std::pair<qint64, QDateTime>> handled;
    std::unique_ptr<BatchRun> batch;
    const QString watched = QFileInfo(folder).absoluteFilePath();
    out << "watching " << watched << " for videos; results in " << options.outputFolder << "\n";
    out.flush();

    const auto scan = [&] {
        QStringList ready;
        const QStringList videos = collectVideos({watched}, nullptr);
        const QStringList results = resultPaths(videos, options.outputFolder, job.prefix, job.output);
        std::map<QString, WatchedFile> still;
        QSet<QString> candidates;
        for (qsizetype i = 0; i < videos.size(); ++i) {
            const QFileInfo f(videos[i]);
            const auto h = handled.find(videos[i]);
            if (h != handled.end() && h->second == std::pair{f.size(), f.lastModified()}) continue;
            // A result there means done, whoever made it.
            if (nameTaken(results[i])) continue;
            WatchedFile w = seen.count(videos[i]) ? seen[videos[i]] : WatchedFile{};
            if (steadyAgain(w, f.size(), f.lastModified())) candidates.insert(f.canonicalFilePath());
            still[videos[i]] = w;
        }
        seen = std::move(still);
        // One run at a time; what became whole meanwhile starts when it ends.
        if (batch) return;
        // Steady but still held by a writer (a copy paused, a recorder between chunks): not yet.
        const QSet<QString> writing = openForWriting(candidates);
        for (const auto& [path, w] : seen)
            if (candidates.contains(QFileInfo(path).canonicalFilePath()) &&
                !writing.contains(QFileInfo(path).canonicalFilePath()))
                ready << path;
        if (ready.isEmpty()) return;
        for (const QString& path : ready) {
            const QFileInfo f(path);
            handled[path] = {f.size(), f.lastModified()};
            seen.erase(path);
        }
        batch = std::make_unique<BatchRun>(job, picture, ready, options);
        batch->changed = [&](std::size_t i) {
            const BatchVideo& v = batch->videos()[i];
            if (v.state != VideoState::Converting && v.state != VideoState::Waiting) line(v);
        };
    };

    qint64 lastScan = -1;
    QElapsedTimer clock;
    clock.start();
    while (true) {
        const bool stopping = stopSignals.received() != 0;
        if (batch) {
            if (stopping && !batch->stopping()) batch->stop();
            if (!batch->step(200)) batch.reset();
        } else if (stopping) {
            break;
        } else {
            QThread::msleep(100);
        }
        if (!stopping && (lastScan < 0 || clock.elapsed() - lastScan >= 1000)) {
            lastScan = clock.elapsed();
            scan();
        }
    }
    return 128 + stopSignals.received();
}
