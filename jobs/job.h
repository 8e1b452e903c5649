// A job: what the user decided once, for any number of videos: the picture
// (its path and a checksum of its bytes) or a text filled for each video, when
// it shows, the placement (anchor, margins and
// width as shares of each video's upright frame), the key colour, the
// opacity, the audio option, the kind of result, the results folder and the
// results' naming.
// Saved as a small versioned JSON file (".wmjob", docs/job-format.md); read
// back strictly: a field of the wrong type, a version from the future or a
// picture that changed since is refused with the field's name, never guessed.
#pragma once

#include "mark/placement.h"
#include "mark/text_mark.h"
#include "rules/output_choice.h"
#include "rules/time_weight.h"

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QString>
#include <QStringList>

#include <optional>

struct Job {
    // The newest version this program reads. It writes the oldest one that holds the job, so a job
    // of what older programs knew stays readable by them.
    static constexpr int kVersion = 2;

    QString picturePath;       // absolute; "" for a text
    QByteArray pictureSha256;  // hex digits of the picture file's SHA-256
    // From version 2: the mark is this text, its {name} and {date} filled for each video, its
    // letters as large a share of each frame's width (the font's pixel size as laid, per cent).
    std::optional<TextMark> text;
    double textSizePercent = 0;
    rules::TimeRange range;  // from version 2: when the mark shows
    Anchor anchor = Anchor::BottomRight;
    double marginXPercent = 3, marginYPercent = 3;     // of the frame's width and height
    double widthPercent = 20;                          // the mark's width, of the frame's
    std::optional<QColor> key;                         // nothing: the program picks one the mark does not use
    int opacity = 100;                                 // per cent, 10..100
    bool enhanceAudio = false;                         // resample the sound to 22050 Hz
    OutputChoice output = OutputChoice::SameAsSource;  // from version 2: "MP4 to share"
    QString outputFolder;                              // "" : the program's results folder
    QString prefix = QStringLiteral("wm-");            // a result is <prefix><video file name>

    bool operator==(const Job&) const = default;
};

// "top-left", "top", "top-right", "left", "centre", "right", "bottom-left",
// "bottom", "bottom-right"; the names of the job file and the command line.
QString anchorKey(Anchor anchor);
// Also "center"; nothing for another word.
std::optional<Anchor> anchorOfKey(const QString& key);

// "none", "outline", "shadow"; the names of the job file and the command line.
QString edgeKey(TextMark::Edge edge);
std::optional<TextMark::Edge> edgeOfKey(const QString& key);

// The files the job reads besides its own file: its picture, none for a text.
QStringList filesOf(const Job& job);

// The job's file text: indented JSON, keys in a fixed order.
QByteArray jobToJson(const Job& job);
// The job of a file's text; nothing and `why` (naming the field) when the
// text is not a job this version can run.
std::optional<Job> jobFromJson(const QByteArray& text, QString* why);

// Reads and parses a job file; `why` names the file and the cause. A
// relative picture path is taken from the job file's folder, and a picture
// that is not where the job says is taken from beside the job file under its
// own name (a job sent to another machine with its picture); its checksum
// still has to match.
std::optional<Job> readJobFile(const QString& path, QString* why);
// Writes a job file as a new file or over an earlier job; `why` on failure.
// A picture in the job file's own folder is named without its folder, so the
// two can be moved or copied together.
bool writeJobFile(const QString& path, const Job& job, QString* why);

// SHA-256 of a file's bytes in hex; empty when it cannot be read.
QByteArray fileSha256(const QString& path);

// The job's picture, checked against the checksum: nothing and `why` when it
// is gone, changed since the job was saved, or not a picture. For a text, its
// drawing with the tokens as written (each video's is drawn for it).
std::optional<QImage> loadJobPicture(const Job& job, QString* why);

// The placement the job describes, on `picture`; for a text, on the text
// filled for the video at `video`, recorded at `recorded` (invalid when its
// file does not say), drawn at 100 %.
Placement placementOf(const Job& job, const QImage& picture, const QString& video = QString(),
                      const QDateTime& recorded = QDateTime());
// The same on a picture already drawn: for a text, `filled` is the text filled
// for the video and `drawing` its drawing at 100 %.
Placement placementOf(const Job& job, const QImage& drawing, const std::optional<TextMark>& filled);
// What a placement decides, taken into the job: anchor, margins, size, key and opacity.
void takePlacement(Job& job, const Placement& placement);
// The job of a placement on a picture file (its checksum taken now), or of a
// placement of text: `text` as written, with its tokens, filled as the
// placement's.
Job jobOf(const Placement& placement, const QString& picturePath,
          const std::optional<TextMark>& text = std::nullopt);
