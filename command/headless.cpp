#include "command/headless.h"

#include "command/watch.h"

#include "jobs/batch_run.h"
#include "jobs/program_paths.h"
#include "jobs/progress_parse.h"
#include "mark/color_text.h"
#include "mark/regular_file.h"
#include "mark/text_mark.h"
#include "mark/time_range.h"
#include "runner/child_pool.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QTextStream>

#include <sys/ioctl.h>
#include <unistd.h>

#include <cmath>

namespace {

// The options that take a value, and the flags.
const QStringList kValued{"--job",    "--jobs",  "--output",    "--picture", "--place",
                          "--margin", "--size",  "--opacity",   "--key",     "--save-job",
                          "--text",   "--font",  "--text-size", "--colour",  "--edge",
                          "--from",   "--until", "--fade",      "--watch"};
const QStringList kFlags{"--replace", "--progress=json", "--enhance-audio", "--share",
                         "--help",    "--version",       "--list-files",    "--list-pending"};
// What makes a job: given with --job, they are refused.
const QStringList kMarkOptions{"--picture", "--text", "--place",         "--margin", "--size", "--opacity",
                               "--key",     "--font", "--text-size",     "--colour", "--edge", "--from",
                               "--until",   "--fade", "--enhance-audio", "--share"};
const QStringList kTextOptions{"--font", "--text-size", "--colour", "--edge"};

std::optional<double> numberIn(const QString& text, double least, double most) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < least || v > most) return std::nullopt;
    return v;
}

QString fileNameOf(const QString& path) {
    return QFileInfo(path).fileName();
}

QString secondsText(double s) {
    return QString::number(s, 'f', 1);
}

}  // namespace

bool isHeadlessCall(const QStringList& args) {
    if (args.isEmpty()) return false;
    // Any long option, known or mistyped, and -h: the command answers it, with or without a display.
    return args.front().startsWith(QStringLiteral("--")) || args.front() == QStringLiteral("-h");
}

bool displayGiven(const QProcessEnvironment& env, const QStringList& args) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (!env.value(QLatin1String(name)).isEmpty()) return true;
    return args.contains(QStringLiteral("-platform"));
}

QString noDisplayText() {
    return QStringLiteral(
        "watermark-image: the windows need a display, and none is set (DISPLAY or WAYLAND_DISPLAY).\n"
        "To stamp a job on videos without one:\n"
        "  watermark-image --job FILE.wmjob VIDEO|FOLDER...\n"
        "  watermark-image --picture FILE [--place ANCHOR] [--size P] VIDEO|FOLDER...\n"
        "Try 'watermark-image --help'.\n");
}

std::optional<HeadlessCall> parseHeadlessArgs(const QStringList& args, QString* why) {
    const auto fail = [why](const QString& text) {
        if (why) *why = text;
        return std::nullopt;
    };
    HeadlessCall call;
    QString picture, place = QStringLiteral("bottom-right"), key;
    std::optional<QString> text;
    QString font, colour = QStringLiteral("FFFFFF"), edge = QStringLiteral("outline");
    QString from, until, fade;
    double margin = 3, size = 20, opacity = 100, textSize = 5;
    bool enhanceAudio = false, share = false;
    QStringList given;  // the options given
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString arg = args[i];
        QString value;
        const bool onlyInputsFollow = arg == QStringLiteral("--");
        if (onlyInputsFollow) {
            call.inputs << args.mid(i + 1);
            break;
        }
        if (arg == QStringLiteral("-h")) {
            call.help = true;
            continue;
        }
        if (!arg.startsWith(QStringLiteral("--"))) {
            call.inputs << arg;
            continue;
        }
        if (arg.contains(u'=') && arg != QStringLiteral("--progress=json")) {
            value = arg.section(u'=', 1);
            arg = arg.section(u'=', 0, 0);
            if (!kValued.contains(arg)) return fail(QStringLiteral("%1 takes no value").arg(arg));
        } else if (kValued.contains(arg)) {
            if (i + 1 >= args.size()) return fail(QStringLiteral("%1 needs a value").arg(arg));
            value = args[++i];
        } else if (!kFlags.contains(arg)) {
            return fail(QStringLiteral("unknown option %1").arg(arg));
        }
        given << arg;

        if (arg == QStringLiteral("--help")) {
            call.help = true;
        } else if (arg == QStringLiteral("--version")) {
            call.version = true;
        } else if (arg == QStringLiteral("--job")) {
            call.jobFile = value;
        } else if (arg == QStringLiteral("--jobs")) {
            const std::optional<double> n = numberIn(value, 1, 64);
            if (!n || *n != std::floor(*n))
                return fail(QStringLiteral("--jobs must be a whole number from 1 to 64"));
            call.jobs = static_cast<int>(*n);
        } else if (arg == QStringLiteral("--output")) {
            call.output = value;
        } else if (arg == QStringLiteral("--replace")) {
            call.replace = true;
        } else if (arg == QStringLiteral("--progress=json")) {
            call.json = true;
        } else if (arg == QStringLiteral("--save-job")) {
            call.saveJob = value;
        } else if (arg == QStringLiteral("--watch")) {
            call.watch = value;
        } else if (arg == QStringLiteral("--list-files")) {
            call.listFiles = true;
        } else if (arg == QStringLiteral("--list-pending")) {
            call.listPending = true;
        } else if (arg == QStringLiteral("--picture")) {
            picture = value;
        } else if (arg == QStringLiteral("--text")) {
            text = value;
        } else if (arg == QStringLiteral("--font")) {
            font = value;
        } else if (arg == QStringLiteral("--colour")) {
            colour = value;
        } else if (arg == QStringLiteral("--from")) {
            from = value;
        } else if (arg == QStringLiteral("--until")) {
            until = value;
        } else if (arg == QStringLiteral("--fade")) {
            fade = value;
        } else if (arg == QStringLiteral("--enhance-audio")) {
            enhanceAudio = true;
        } else if (arg == QStringLiteral("--share")) {
            share = true;
        } else if (arg == QStringLiteral("--edge")) {
            edge = value;
            if (!edgeOfKey(edge)) return fail(QStringLiteral("--edge must be none, outline or shadow"));
        } else if (arg == QStringLiteral("--text-size")) {
            const std::optional<double> t = numberIn(value, 0.01, 100);
            if (!t)
                return fail(QStringLiteral(
                    "--text-size must be a number from 0.01 to 100 (per cent of the frame's width)"));
            textSize = *t;
        } else if (arg == QStringLiteral("--place")) {
            place = value;
            if (!anchorOfKey(place))
                return fail(
                    QStringLiteral("--place must be top-left, top, top-right, left, centre, right, "
                                   "bottom-left, bottom or bottom-right"));
        } else if (arg == QStringLiteral("--margin")) {
            const std::optional<double> m = numberIn(value, 0, 50);
            if (!m) return fail(QStringLiteral("--margin must be a number from 0 to 50 (per cent)"));
            margin = *m;
        } else if (arg == QStringLiteral("--size")) {
            const std::optional<double> s = numberIn(value, 0.1, 100);
            if (!s) return fail(QStringLiteral("--size must be a number from 0.1 to 100 (per cent)"));
            size = *s;
        } else if (arg == QStringLiteral("--opacity")) {
            const std::optional<double> o = numberIn(value, 10, 100);
            if (!o || *o != std::floor(*o))
                return fail(QStringLiteral("--opacity must be a whole number from 10 to 100"));
            opacity = *o;
        } else if (arg == QStringLiteral("--key")) {
            key = value;
            if (!colorFromRrggbb(key))
                return fail(QStringLiteral("--key must be six hexadecimal digits RRGGBB"));
        }
    }
    if (call.help || call.version) return call;
    const auto givenAny = [&given](const QStringList& options) {
        for (const QString& o : options)
            if (given.contains(o)) return o;
        return QString();
    };
    if (!call.jobFile.isEmpty() && !givenAny(kMarkOptions).isEmpty())
        return fail(QStringLiteral("--job holds the mark and its placement: give either --job or --picture "
                                   "or --text, not %1")
                        .arg(givenAny(kMarkOptions)));
    if (!picture.isEmpty() && text)
        return fail(QStringLiteral("the mark is a picture or a text: give either --picture or --text"));
    if (call.jobFile.isEmpty() && picture.isEmpty() && !text)
        return fail(
            QStringLiteral("give a job (--job FILE.wmjob), a picture (--picture FILE) or a text (--text "
                           "TEXT)"));
    if (!text && !givenAny(kTextOptions).isEmpty())
        return fail(QStringLiteral("%1 goes with --text").arg(givenAny(kTextOptions)));
    if (text && given.contains(QStringLiteral("--size")))
        return fail(QStringLiteral("--size is a picture's width: a text's letters take --text-size"));
    if (call.jobFile.isEmpty()) {
        Job job;
        if (text) {
            // The checks and words of the "Text Watermark" window.
            if (const TextMarkProblem p = textMarkProblem(*text, colour); !p.problem.isEmpty())
                return fail(QStringLiteral("--%1: %2").arg(p.field, p.problem));
            if (!font.isEmpty() && !QFontDatabase::families().contains(font, Qt::CaseInsensitive))
                return fail(
                    QStringLiteral("--font \"%1\" is not a font of this system (fc-list : family lists "
                                   "them)")
                        .arg(font));
            TextMark t;
            t.text = *text;
            t.family = font;
            t.colour = *colorFromRrggbb(colour);
            t.edge = *edgeOfKey(edge);
            job.text = t;
            job.textSizePercent = textSize;
        } else {
            if (!QFileInfo::exists(picture))
                return fail(QStringLiteral("--picture %1: no such file").arg(picture));
            if (QString problem; !openRegularFile(picture, kMaxPictureBytes, &problem).valid())
                return fail(QStringLiteral("--picture %1 %2").arg(picture, problem));
            job.picturePath = QFileInfo(picture).absoluteFilePath();
            job.pictureSha256 = fileSha256(picture);
            job.widthPercent = size;
        }
        // The checks and words of the positioning window's From, Until and Fade.
        const TimeRangeCheck range = readTimeRange(from, until, fade, std::nullopt);
        if (!range.problem.isEmpty()) return fail(range.problem);
        job.range = range.range;
        job.anchor = *anchorOfKey(place);
        // A centred axis has no margin: the mark stands in the middle.
        Placement p;
        p.moveTo(job.anchor, margin / 100);
        job.marginXPercent = p.marginX() * 100;
        job.marginYPercent = p.marginY() * 100;
        job.opacity = static_cast<int>(opacity);
        if (!key.isEmpty()) job.key = colorFromRrggbb(key);
        job.enhanceAudio = enhanceAudio;
        if (share) job.output = OutputChoice::Mp4ToShare;
        call.job = job;
    }
    if (call.listFiles && call.listPending)
        return fail(QStringLiteral("give either --list-files or --list-pending"));
    if (!call.watch.isEmpty()) {
        if (!call.inputs.isEmpty())
            return fail(QStringLiteral("--watch takes its videos from the folder: give no others"));
        // A result there means done: with --replace a watch would convert its own results' sources forever.
        if (call.replace || call.listFiles || call.listPending)
            return fail(QStringLiteral("--watch goes without --replace, --list-files and --list-pending"));
        return call;
    }
    if (call.inputs.isEmpty() && call.saveJob.isEmpty() && !call.listFiles)
        return fail(QStringLiteral("no video or folder given"));
    return call;
}

QString headlessUsage() {
    return QStringLiteral(
        "Usage: watermark-image --job FILE.wmjob [--jobs N] [--output DIR] [--replace]\n"
        "                       [--progress=json] VIDEO|FOLDER...\n"
        "       watermark-image --picture FILE [--size P] [PLACEMENT] [--save-job FILE] [VIDEO|FOLDER...]\n"
        "       watermark-image --text TEXT [--font FAMILY] [--text-size P] [--colour RRGGBB]\n"
        "                       [--edge none|outline|shadow] [PLACEMENT] [--save-job FILE] "
        "[VIDEO|FOLDER...]\n"
        "       watermark-image --job FILE.wmjob --watch DIR [--output DIR] [--jobs N]\n"
        "       watermark-image --job FILE.wmjob --list-files\n"
        "       watermark-image --job FILE.wmjob [--output DIR] [--replace] --list-pending VIDEO|FOLDER...\n"
        "Stamps the job's mark on every video (a folder: the videos in it) without a window.\n"
        "  PLACEMENT [--place ANCHOR] [--margin P] [--opacity P] [--key RRGGBB] [--from T] [--until T]\n"
        "           [--fade S] [--enhance-audio] [--share] [--jobs N] [--output DIR] [--replace]\n"
        "           [--progress=json]\n"
        "  ANCHOR   top-left, top, top-right, left, centre, right, bottom-left, bottom, bottom-right\n"
        "           (bottom-right to start with)\n"
        "  --margin distance from the anchor's edges, per cent of the frame (3)\n"
        "  --size   the mark's width, per cent of the frame's width (20)\n"
        "  --text   a line of text as the mark; {name} is the video's file name without its extension,\n"
        "           {date} the day it was recorded (YYYY-MM-DD)\n"
        "  --text-size the letters' size, per cent of the frame's width (5); --colour the letters'\n"
        "           colour (FFFFFF); --edge around them (outline)\n"
        "  --from, --until when the mark shows: seconds (75) or m:ss (1:15); --fade seconds of fade\n"
        "           in and out (0 to 10)\n"
        "  --share  an MP4 to share (H.264 and AAC, named .mp4) instead of the source's kind\n"
        "  --jobs   encoders at a time (2, or one per pair of cores on larger machines)\n"
        "  --output the results folder (the job's, else the program's)\n"
        "  --replace convert again a video whose result is already there (skipped otherwise)\n"
        "  --watch  converts each video that appears in DIR once it is whole (its size steady, no\n"
        "           writer holding it), until a signal stops it; a video whose result is there is done\n"
        "  --list-files   prints the files the job reads besides itself (its picture), one a line\n"
        "  --list-pending prints each video whose result is not there yet and, on the next line,\n"
        "           its result's file name; converts nothing\n"
        "Exit: 0 every video done or skipped, 1 some failed, 2 bad usage or job (nothing started),\n"
        "      128 + N when signal N stopped it (130 Ctrl+C, 143 SIGTERM): the parts are kept as\n"
        "      \"-stopped\" files and a second run converts what is not done.\n");
}

QStringList progressLines(const std::vector<BatchVideo>& videos, int width) {
    QStringList lines;
    for (const BatchVideo& v : videos) {
        if (v.state != VideoState::Converting) continue;
        QString line =
            QStringLiteral("converting  %1  %2 %").arg(fileNameOf(v.path)).arg(static_cast<int>(v.percent));
        const QString pace = paceText(v.speed, v.seconds * v.percent / 100, v.seconds);
        if (!pace.isEmpty()) line += QStringLiteral("  ") + pace;
        // A wrapped line would throw the redraw off by a line.
        if (width > 1 && line.size() >= width) line = line.left(width - 2) + u'…';
        lines << line;
    }
    return lines;
}

TerminalStatus::TerminalStatus(QTextStream& err, bool terminal) : terminal(terminal), err_(err) {}

TerminalStatus::~TerminalStatus() {
    clear();
}

void TerminalStatus::clear() {
    if (drawn_ == 0) return;
    // Up to the first line drawn, then everything below it goes.
    err_ << "\x1b[" << drawn_ << "F\x1b[J";
    err_.flush();
    drawn_ = 0;
}

void TerminalStatus::draw(const QStringList& lines) {
    clear();
    for (const QString& line : lines)
        err_ << line << "\n";
    err_.flush();
    drawn_ = static_cast<int>(lines.size());
}

int terminalWidth() {
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

int runHeadless(const QStringList& args, QTextStream& out, QTextStream& err, bool terminal) {
    QString why;
    std::optional<HeadlessCall> call = parseHeadlessArgs(args, &why);
    if (!call) {
        err << "watermark-image: " << why << "\n"
            << "Try 'watermark-image --help'.\n";
        return kBadUsage;
    }
    if (call->help) {
        out << headlessUsage();
        return kAllDone;
    }
    if (call->version) {
        out << "watermark-image " << QStringLiteral(WM_VERSION) << "\n";
        return kAllDone;
    }
    Job job;
    if (!call->jobFile.isEmpty()) {
        std::optional<Job> read = readJobFile(call->jobFile, &why);
        if (!read) {
            err << "watermark-image: bad job " << why << "\n";
            return kBadUsage;
        }
        job = *read;
    } else {
        job = *call->job;
    }
    const std::optional<QImage> picture = loadJobPicture(job, &why);
    if (!picture) {
        err << "watermark-image: bad job: " << why << "\n";
        return kBadUsage;
    }
    if (!call->saveJob.isEmpty()) {
        if (!writeJobFile(call->saveJob, job, &why)) {
            err << "watermark-image: cannot save the job: " << why << "\n";
            return kBadUsage;
        }
        if (call->inputs.isEmpty() && !call->listFiles) return kAllDone;
    }
    if (call->listFiles) {
        for (const QString& file : filesOf(job))
            out << file << "\n";
        return kAllDone;
    }

    QString missing;
    const QStringList videos = collectVideos(call->inputs, &missing);
    if (!missing.isEmpty()) {
        err << "watermark-image: " << missing << "\n";
        return kBadUsage;
    }
    BatchOptions options;
    if (call->jobs > 0) options.jobs = call->jobs;
    options.replace = call->replace;
    options.outputFolder = !call->output.isEmpty()       ? call->output
                           : !job.outputFolder.isEmpty() ? job.outputFolder
                                                         : outputFolder();
    options.outputFolder = QFileInfo(options.outputFolder).absoluteFilePath();
    if (call->listPending) {
        // What a run would convert, named as it would name it: for scripts that send the work elsewhere.
        const QStringList results = resultPaths(videos, options.outputFolder, job.prefix, job.output);
        for (qsizetype i = 0; i < videos.size(); ++i)
            if (options.replace || !nameTaken(results[i]))
                out << videos[i] << "\n" << QFileInfo(results[i]).fileName() << "\n";
        return kAllDone;
    }
    if (!QDir().mkpath(options.outputFolder) ||
        ::access(QFile::encodeName(options.outputFolder).constData(), W_OK | X_OK) != 0) {
        err << "watermark-image: the results folder " << options.outputFolder << " cannot be written\n";
        return kBadUsage;
    }

    if (!call->watch.isEmpty()) {
        const QFileInfo watched(call->watch);
        if (!watched.isDir()) {
            err << "watermark-image: --watch " << call->watch << ": no such folder\n";
            return kBadUsage;
        }
        if (watched.canonicalFilePath() == QFileInfo(options.outputFolder).canonicalFilePath()) {
            err << "watermark-image: the results cannot go into the watched folder: give --output another\n";
            return kBadUsage;
        }
        int done = 0, failed = 0, stopped = 0;
        QElapsedTimer clock;
        clock.start();
        const int status = runWatch(job, *picture, call->watch, options, out, [&](const BatchVideo& v) {
            done += v.state == VideoState::Done;
            failed += v.state == VideoState::Failed;
            stopped += v.state == VideoState::Stopped;
            out << stateName(v.state) << "  " << fileNameOf(v.path);
            if (!v.message.isEmpty()) out << ": " << v.message;
            out << "\n";
            out.flush();
        });
        out << done << " done, " << failed << " failed, " << stopped << " stopped in "
            << secondsText(clock.elapsed() / 1000.0) << " s\n";
        out.flush();
        return status;
    }

    const StopSignals stopSignals;
    QElapsedTimer clock;
    clock.start();
    BatchRun batch(job, *picture, videos, options);
    std::vector<qint64> lastLine(videos.size(), -1000);
    TerminalStatus status(err, !call->json && terminal);
    batch.changed = [&](std::size_t i) {
        const BatchVideo& v = batch.videos()[i];
        const bool ended = v.state != VideoState::Converting && v.state != VideoState::Waiting;
        if (call->json) {
            // Progress at most twice a second a video; every change of state at once.
            if (!ended && v.state == VideoState::Converting && clock.elapsed() - lastLine[i] < 500 &&
                v.percent > 0)
                return;
            lastLine[i] = clock.elapsed();
            QJsonObject o{{"file", v.path},
                          {"state", QString::fromLatin1(stateName(v.state))},
                          {"percent", std::round(v.percent * 10) / 10},
                          {"fps", std::round(v.fps * 10) / 10},
                          {"speed", std::round(v.speed * 100) / 100},
                          {"eta_s", v.etaSeconds ? QJsonValue(std::round(*v.etaSeconds)) : QJsonValue()},
                          {"message", v.message},
                          {"reencoded", v.reencoded}};
            out << QJsonDocument(o).toJson(QJsonDocument::Compact) << "\n";
            out.flush();
            return;
        }
        if (!ended) return;
        status.clear();
        out << stateName(v.state) << "  " << fileNameOf(v.path);
        if (!v.message.isEmpty()) out << ": " << v.message;
        out << "\n";
        out.flush();
    };

    // At a terminal, a line per running video shows it is alive; logs get only the lines above.
    qint64 lastDrawn = -1000;
    const auto drawStatus = [&] {
        if (!status.terminal || clock.elapsed() - lastDrawn < 250) return;
        lastDrawn = clock.elapsed();
        status.draw(progressLines(batch.videos(), terminalWidth()));
    };
    while (batch.step(200)) {
        if (stopSignals.received() != 0 && !batch.stopping()) batch.stop();
        drawStatus();
    }
    status.clear();
    const int stoppedBy = stopSignals.received();

    int done = 0, skipped = 0, failed = 0, stopped = 0, waiting = 0;
    for (const BatchVideo& v : batch.videos()) {
        switch (v.state) {
            case VideoState::Done:
                ++done;
                break;
            case VideoState::Skipped:
                ++skipped;
                break;
            case VideoState::Failed:
                ++failed;
                break;
            case VideoState::Stopped:
                ++stopped;
                break;
            default:
                ++waiting;
                break;
        }
    }
    const double seconds = clock.elapsed() / 1000.0;
    if (call->json) {
        const QJsonObject o{{"summary", true},
                            {"done", done},
                            {"skipped", skipped},
                            {"failed", failed},
                            {"stopped", stopped},
                            {"waiting", waiting},
                            {"seconds", std::round(seconds * 10) / 10}};
        out << QJsonDocument(o).toJson(QJsonDocument::Compact) << "\n";
    } else {
        out << done << " done, " << skipped << " skipped, " << failed << " failed, " << stopped << " stopped";
        if (waiting) out << ", " << waiting << " not started";
        out << " in " << secondsText(seconds) << " s\n";
    }
    out.flush();
    if (stoppedBy) return 128 + stoppedBy;
    return failed > 0 ? kSomeFailed : kAllDone;
}
