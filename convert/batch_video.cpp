#include "convert/batch_video.h"

#include "app/encoder_lines.h"
#include "app/shell.h"
#include "app/video_types.h"
#include "app/work_folder.h"
#include "convert/progress_parse.h"
#include "convert/run_end.h"
#include "probe/probe_parse.h"
#include "runner/command_line.h"
#include "runner/console_capture_core.h"
#include "watermark/bmp_file.h"
#include "watermark/color_text.h"
#include "watermark/key_colour.h"
#include "watermark/working_bitmaps.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

std::optional<VideoFacts> videoFactsOf(const QString& description) {
    const ProbeFacts facts = parseProbeChunk(description);
    if (!facts.width || !facts.height) return std::nullopt;
    const std::optional<QSize> coded = frameSizeOf(*facts.width, *facts.height);
    if (!coded) return std::nullopt;
    VideoFacts v;
    v.coded = *coded;
    v.orientation = facts.orientation.value_or(rules::Orientation{});
    v.upright = v.orientation.quarterTurns % 2 != 0 ? coded->transposed() : *coded;
    if (facts.duration) {
        v.durationText = *facts.duration;
        v.seconds = durationInSeconds(*facts.duration);
    }
    v.recorded = facts.recorded.value_or(QDateTime());
    return v;
}

std::optional<VideoFacts> probeVideo(const QString& video, QString* why) {
    ProbeOutcome outcome = probeVideos({video}).front();
    if (!outcome.facts && why) *why = outcome.why;
    return outcome.facts;
}

std::vector<ProbeOutcome> probeOutcomesOf(const QString& description, qsizetype count) {
    std::vector<ProbeOutcome> out(static_cast<std::size_t>(std::max<qsizetype>(count, 0)));
    const QStringList lines = description.split(u'\n');
    for (qsizetype n = 0; n < count; ++n) {
        const QString head = QStringLiteral("Input #%1").arg(n);
        ProbeOutcome& o = out[static_cast<std::size_t>(n)];
        qsizetype at = -1;
        for (qsizetype i = 0; i < lines.size() && at < 0; ++i)
            if (lines[i].startsWith(head + u',') || lines[i].startsWith(head + u':')) at = i;
        if (at < 0) {
            o.why = QStringLiteral("the encoder did not describe it");
            continue;
        }
        if (lines[at].startsWith(head + u':')) {
            o.why = lines[at].mid(head.size() + 1).trimmed();
            continue;
        }
        QStringList block{lines[at]};
        for (qsizetype i = at + 1; i < lines.size() && !lines[i].startsWith(QStringLiteral("Input #")); ++i)
            block << lines[i];
        o.facts = videoFactsOf(block.join(u'\n'));
        if (!o.facts) o.why = QStringLiteral("not a video the encoder reads");
    }
    return out;
}

namespace {

// What the encoder says of the videos given (command-line-safe), in one run.
QString describe(const QStringList& given) {
    ConsoleCaptureCore core;
    QString text;
    core.run(toNativeArguments(splitCommandLine(
                 probeCommandLine(commandLineSafePath(programFolder()), encoderName(), given))),
             [&text](const char* data, std::size_t size) {
                 if (text.size() < (8 << 20)) text += QString::fromLatin1(data, static_cast<qsizetype>(size));
             },
             {});
    return text;
}

}  // namespace

std::vector<ProbeOutcome> probeVideos(const QStringList& videos) {
    constexpr qsizetype kPerRun = 32;
    std::vector<ProbeOutcome> out;
    for (qsizetype from = 0; from < videos.size(); from += kPerRun) {
        const QStringList part = videos.mid(from, kPerRun);
        QStringList given;
        for (const QString& v : part) {
            const QString safe = commandLineSafePath(v);
            // A path that cannot be named is described as missing.
            given << (safe.isEmpty() ? v : safe);
        }
        QString text = describe(given);
        std::vector<ProbeOutcome> outcomes = probeOutcomesOf(text, part.size());
        // One input is described as the windows' probe has it: a refusal is the encoder's last line.
        if (part.size() == 1 && !outcomes[0].facts) {
            if (std::optional<VideoFacts> facts = videoFactsOf(text)) {
                outcomes[0].facts = facts;
            } else {
                const QString reason = lastEncoderLine(
                    text.remove(QStringLiteral("At least one output file must be specified")));
                outcomes[0].why = reason.isEmpty() ? QStringLiteral("not a video the encoder reads") : reason;
            }
        }
        for (qsizetype i = 0; i < part.size(); ++i) {
            ProbeOutcome& o = outcomes[static_cast<std::size_t>(i)];
            // The user knows the file by the name given, not by an alias of it.
            if (given[i] != part[i]) o.why.replace(given[i], part[i]);
            out.push_back(std::move(o));
        }
    }
    return out;
}

std::optional<VideoMask> maskFor(const Placement& placement, const VideoFacts& video, QString* why) {
    const MarkRect where = placement.rectIn(video.upright);
    // A text is drawn at the size it is laid, never scaled from another drawing.
    const QImage laid = placement.text() ? drawTextMark(*placement.text(), where.rect.size())
                                         : laidMark(placement.picture(), where.rect.size());
    VideoMask out;
    out.rect = where.rect;
    out.key =
        placement.pickedKey() ? *placement.pickedKey() : unusedKeyColour(laid).value_or(QColor(Qt::black));
    out.mask = makeMask(laid, where.rect, video.upright, out.key, placement.opacity(), video.orientation);
    if (!laysAnything(out.mask, out.key, placement.opacity())) {
        if (why)
            *why = QStringLiteral(
                "the watermark would leave the video unchanged (fully transparent, "
                "wholly of the key colour or outside the frame)");
        return std::nullopt;
    }
    return out;
}

std::optional<QImage> proofFrame(const Placement& placement, const QString& video, const VideoFacts& facts,
                                 const rules::TimeRange& range, QString* why) {
    const auto fail = [why](const QString& text) {
        if (why) *why = text;
        return std::nullopt;
    };
    const std::optional<VideoMask> mask = maskFor(placement, facts, why);
    if (!mask) return std::nullopt;
    QString reason;
    const std::unique_ptr<WorkFolder> folder = WorkFolder::create(&reason);
    if (!folder) return fail(reason);
    if (!writeMaskBitmap(*folder, mask->mask.image, mask->mask.withAlpha, &reason)) return fail(reason);
    ConversionRun hook;
    hook.programFolder = commandLineSafePath(programFolder());
    hook.mask = commandLineSafePath(maskBitmapPath(*folder));
    hook.maskColour = rrggbbOf(mask->key);
    hook.opacity = placement.opacity();
    hook.range = range;
    const QString out = folder->filePath(QStringLiteral("proof.bmp"));
    const QString safeVideo = commandLineSafePath(video);
    if (hook.programFolder.isEmpty() || hook.mask.isEmpty() || safeVideo.isEmpty())
        return fail(QStringLiteral("a path cannot be handed to the encoder"));
    ConsoleCaptureCore core;
    QString text;
    const int code = core.run(
        toNativeArguments(
            splitCommandLine(frameCommandLine(hook.programFolder, encoderName(), safeVideo,
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
