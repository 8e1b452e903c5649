#include "jobs/video_facts.h"

#include "jobs/encoder_lines.h"
#include "jobs/path_links.h"
#include "jobs/probe_parse.h"
#include "jobs/program_paths.h"
#include "jobs/progress_parse.h"
#include "jobs/run_end.h"
#include "runner/command_line.h"
#include "runner/console_capture_core.h"

#include <QStringList>

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
    v.transfer = facts.transfer;
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
QString describe(PathLinks& links, const QStringList& given) {
    ConsoleCaptureCore core;
    QString text;
    core.run(toNativeArguments(
                 splitCommandLine(probeCommandLine(links.safePath(programFolder()), encoderName(), given))),
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
        PathLinks links;
        QStringList given;
        for (const QString& v : part) {
            const QString safe = links.safePath(v);
            // A path that cannot be named is described as missing.
            given << (safe.isEmpty() ? v : safe);
        }
        QString text = describe(links, given);
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
