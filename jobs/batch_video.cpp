#include "jobs/batch_video.h"

#include "jobs/video_run.h"

#include "jobs/encoder_lines.h"
#include "jobs/probe_parse.h"
#include "jobs/program_paths.h"
#include "jobs/progress_parse.h"
#include "jobs/run_end.h"
#include "jobs/video_types.h"
#include "jobs/work_folder.h"
#include "jobs/working_bitmaps.h"
#include "mark/bmp_file.h"
#include "mark/color_text.h"
#include "mark/key_colour.h"
#include "runner/command_line.h"
#include "runner/console_capture_core.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

std::optional<QImage> proofFrame(const Placement& placement, const QString& video, const VideoFacts& facts,
                                 const rules::TimeRange& range, QString* why) {
    const auto fail = [why](const QString& text) {
        if (why) *why = text;
        return std::nullopt;
    };
    // The mask and the module's words exactly as the conversion gets them.
    Job job;
    job.range = range;
    VideoRun run;
    QString reason;
    if (!run.prepare(job, placement, video, facts, QString(), &reason)) return fail(reason);
    const QString out = QFileInfo(run.maskPath()).absolutePath() + QStringLiteral("/proof.bmp");
    const ConversionRun& hook = run.line();
    ConsoleCaptureCore core;
    QString text;
    const int code = core.run(
        toNativeArguments(
            splitCommandLine(frameCommandLine(hook.programFolder, hook.encoder, hook.video,
                                              facts.seconds / 10, !facts.orientation.upright(), out, hook))),
        [&text](const char* data, std::size_t size) {
            text = (text + QString::fromLatin1(data, static_cast<qsizetype>(size))).right(4096);
        },
        {});
    if (code != 0) return fail(lastEncoderLine(text));
    std::optional<QImage> frame = bmp::read(out, &reason);
    if (!frame) return fail(reason);
    return frame;
}

QStringList resultPaths(const QStringList& videos, const QString& folder, const QString& prefix,
                        OutputChoice output) {
    QStringList out;
    QSet<QString> taken;
    for (const QString& video : videos) {
        QString path = folder + u'/' + prefix + resultFileName(QFileInfo(video).fileName(), output);
        if (taken.contains(path))
            path = keepBothPath(path, [&taken](const QString& p) { return taken.contains(p); });
        taken.insert(path);
        out << path;
    }
    return out;
}

QStringList collectVideos(const QStringList& paths, QString* why) {
    QStringList out;
    QSet<QString> seen;
    const auto add = [&](const QString& path) {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        if (!seen.contains(absolute)) {
            seen.insert(absolute);
            out << absolute;
        }
    };
    QStringList patterns;
    for (const QString& s : videoSuffixes())
        patterns << QStringLiteral("*.") + s;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            const QDir dir(path);
            for (const QString& name :
                 dir.entryList(patterns, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase))
                add(dir.filePath(name));
        } else if (info.exists()) {
            add(path);
        } else if (why && why->isEmpty()) {
            *why = QStringLiteral("%1: no such file or folder").arg(path);
        }
    }
    return out;
}
