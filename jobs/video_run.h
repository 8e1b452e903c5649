// One video's conversion, from its job to how it ended, the same for every
// front end: the positioning window's Start, a row of the queue and a video of
// the command without windows. Passive, like a subprocess record: whoever runs
// the encoder feeds it.
//
//   prepare()  writes the mask in the run's own working folder, picks the key
//              and builds the encoder's command line, or says why not;
//   take()     reads the encoder's output: the one reader of its progress;
//   finish()   says how the run ended and removes the working folder.
#pragma once

#include "jobs/encoder_lines.h"
#include "jobs/job.h"
#include "jobs/progress_parse.h"
#include "jobs/run_end.h"
#include "jobs/video_facts.h"
#include "mark/mark_mask.h"
#include "mark/placement.h"

#include <QColor>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class PathLinks;
class WorkFolder;

struct VideoMask {
    Mask mask;    // for the coded frame
    QColor key;   // the key colour the module gets
    QRect rect;   // where the mark stands in the upright frame
    QImage laid;  // the whole mark at its size in the frame
};

// The mark's mask for one video's frame.
VideoMask videoMaskOf(const Placement& mark, const VideoFacts& video);

class VideoRun {
public:
    // Why prepare() refused.
    enum class Refusal { None, Unchanged, NothingInRange, NoWorkFolder, Unwritable, UnsafePath };

    VideoRun();
    VideoRun(VideoRun&&) noexcept;
    VideoRun& operator=(VideoRun&&) noexcept;
    ~VideoRun();

    // `mark` is the job's placement laid on `video` (for a text, filled for
    // it). Writes "temp.bmp" (the laid mark) and "mask.bmp" in a new working
    // folder and builds the conversion of `video` to `result` with the job's
    // time range, audio option and kind of result. False and `why` when not.
    bool prepare(const Job& job, const Placement& mark, const QString& video, const VideoFacts& facts,
                 const QString& result, QString* why);
    Refusal refusal() const { return refusal_; }
    // What failed, without the words prepare() puts around it, and the file it could not write.
    const QString& refusalDetail() const { return detail_; }
    const QString& refusalFile() const { return failedFile_; }
    // The bitmaps alone, in a new working folder: the first half of prepare(), whatever the mask lays.
    bool writeBitmaps(const Placement& mark, const VideoFacts& facts, QString* why);

    // The paths and options of the conversion, its command line and that line's arguments.
    const ConversionRun& line() const { return line_; }
    QString commandLine() const;
    std::vector<std::string> arguments() const;
    const VideoMask& mask() const { return mask_; }
    QString maskPath() const;

    // A chunk of the encoder's output; true when it completed a progress line.
    bool take(const QString& text);
    // The last whole progress line; nothing before one came.
    const std::optional<EncoderProgress>& progress() const { return progress_; }
    // The encoder's own speed, a multiple of real time; nothing before it said one.
    std::optional<double> speed() const { return speed_; }
    // The share of the video converted, 0..100, and as the progress line shows it.
    double percent() const;
    int shownPercent() const;
    // The end of what the encoder wrote (its last lines and progress).
    const QString& text() const { return text_; }

    // How the run ended, from the encoder's exit code; the working folder goes.
    RunEnd finish(int exitCode);

private:
    void dropFolder();

    Refusal refusal_ = Refusal::None;
    QString detail_;
    QString failedFile_;
    std::unique_ptr<WorkFolder> folder_;
    std::unique_ptr<PathLinks> links_;  // in folder_ or their own: goes first
    ConversionRun line_;
    VideoMask mask_;
    VideoFacts facts_;
    QString text_;
    QString unread_;  // the encoder's text after its last whole progress line
    std::optional<EncoderProgress> progress_;
    std::optional<double> speed_;
};
