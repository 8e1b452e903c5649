#include "jobs/video_run.h"

#include "jobs/path_links.h"
#include "jobs/program_paths.h"
#include "jobs/work_folder.h"
#include "jobs/working_bitmaps.h"
#include "mark/color_text.h"
#include "mark/key_colour.h"
#include "mark/text_mark.h"
#include "runner/command_line.h"

#include <algorithm>

namespace {

// The output kept: enough for the encoder's last lines and its progress.
constexpr qsizetype kKeptOutput = 16384;

QString unchangedReason() {
    return QStringLiteral(
        "the watermark would leave the video unchanged (fully transparent, "
        "wholly of the key colour or outside the frame)");
}

}  // namespace

VideoMask videoMaskOf(const Placement& mark, const VideoFacts& video) {
    const MarkRect where = mark.rectIn(video.upright);
    VideoMask out;
    // A text is drawn at the size it is laid, never scaled from another drawing.
    out.laid = mark.text() ? drawTextMark(*mark.text(), where.rect.size())
                           : laidMark(mark.picture(), where.rect.size());
    out.rect = where.rect;
    out.key = mark.pickedKey() ? *mark.pickedKey() : unusedKeyColour(out.laid).value_or(QColor(Qt::black));
    out.mask = makeMask(out.laid, where.rect, video.upright, out.key, mark.opacity(), video.orientation);
    return out;
}

VideoRun::VideoRun() = default;
VideoRun::VideoRun(VideoRun&&) noexcept = default;
VideoRun& VideoRun::operator=(VideoRun&&) noexcept = default;
VideoRun::~VideoRun() = default;

void VideoRun::dropFolder() {
    links_.reset();
    folder_.reset();
}

bool VideoRun::writeBitmaps(const Placement& mark, const VideoFacts& facts, QString* why) {
    const auto refuse = [&](Refusal r, const QString& detail, const QString& file, const QString& text) {
        refusal_ = r;
        detail_ = detail;
        failedFile_ = file;
        dropFolder();
        if (why) *why = text;
        return false;
    };
    refusal_ = Refusal::None;
    detail_.clear();
    failedFile_.clear();
    facts_ = facts;
    mask_ = videoMaskOf(mark, facts);
    // Every run writes into a new folder of its own: no other run, window or
    // copy of the program reads these files or writes over them.
    dropFolder();
    QString reason;
    folder_ = WorkFolder::create(&reason);
    if (!folder_)
        return refuse(Refusal::NoWorkFolder, reason, QString(),
                      QStringLiteral("no working folder: %1").arg(reason));
    const auto unwritable = [&](const QString& file) {
        return refuse(Refusal::Unwritable, reason, file,
                      QStringLiteral("cannot write %1: %2").arg(file, reason));
    };
    // "temp.bmp" keeps the mark as it is laid, beside the mask made from it.
    if (!writePreviewBitmap(*folder_, mask_.laid, &reason)) return unwritable(previewBitmapPath(*folder_));
    if (!writeMaskBitmap(*folder_, mask_.mask.image, mask_.mask.withAlpha, &reason))
        return unwritable(maskBitmapPath(*folder_));
    return true;
}

bool VideoRun::prepare(const Job& job, const Placement& mark, const QString& video, const VideoFacts& facts,
                       const QString& result, QString* why) {
    text_.clear();
    unread_.clear();
    progress_.reset();
    speed_.reset();
    line_ = ConversionRun{};
    // A copy with no marked frame would be reported done and skipped from then on.
    if (job.range.from && facts.seconds > 0 && *job.range.from >= facts.seconds) {
        refusal_ = Refusal::NothingInRange;
        dropFolder();
        if (why) *why = QStringLiteral("the time range starts after this video ends");
        return false;
    }
    if (!writeBitmaps(mark, facts, why)) return false;
    if (!laysAnything(mask_.mask, mask_.key, mark.opacity())) {
        refusal_ = Refusal::Unchanged;
        dropFolder();
        if (why) *why = unchangedReason();
        return false;
    }
    links_ = std::make_unique<PathLinks>(folder_.get());
    line_.programFolder = links_->safePath(programFolder());
    line_.encoder = encoderName();
    line_.video = links_->safePath(video);
    line_.mask = links_->safePath(maskBitmapPath(*folder_));
    line_.maskColour = rrggbbOf(mask_.key);
    line_.result = result;
    line_.enhanceAudio = job.enhanceAudio;
    line_.output = job.output;
    line_.opacity = mark.opacity();
    line_.range = job.range;
    if (line_.programFolder.isEmpty() || line_.video.isEmpty() || line_.mask.isEmpty()) {
        refusal_ = Refusal::UnsafePath;
        dropFolder();
        if (why) *why = QStringLiteral("a path cannot be handed to the encoder");
        return false;
    }
    return true;
}

QString VideoRun::commandLine() const {
    return conversionCommandLine(line_);
}

std::vector<std::string> VideoRun::arguments() const {
    return toNativeArguments(splitCommandLine(commandLine()));
}

QString VideoRun::maskPath() const {
    return folder_ ? maskBitmapPath(*folder_) : QString();
}

bool VideoRun::take(const QString& text) {
    text_ = (text_ + text).right(kKeptOutput);
    // Progress lines end in "\r": what follows the last one waits for the rest of its line.
    unread_ = (unread_ + text).right(kKeptOutput);
    const qsizetype end = unread_.lastIndexOf(u'\r');
    if (end < 0) return false;
    const std::optional<EncoderProgress> p = lastProgress(unread_.left(end + 1));
    unread_.remove(0, end + 1);
    if (!p) return false;
    progress_ = p;
    if (const std::optional<double> s = speedOf(p->line)) speed_ = s;
    return true;
}

double VideoRun::percent() const {
    if (!progress_ || facts_.seconds <= 0) return 0;
    return std::clamp(progress_->seconds / facts_.seconds * 100, 0.0, 100.0);
}

int VideoRun::shownPercent() const {
    return progress_ ? progressPercent(facts_.durationText, progress_->elapsed) : 0;
}

RunEnd VideoRun::finish(int exitCode) {
    // The module read the mask when the encoder began.
    dropFolder();
    return endOfRun(exitCode, shownPercent(), line_.result, text_);
}
