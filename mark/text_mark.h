// A line of text as the watermark, free of widgets and of any one video: the
// text (with the tokens {name} and {date}), its font, size, colour and an
// edge that makes it read on any frame. It is filled for one video and drawn
// at the very size the mark has in the frame, so its letters are as sharp
// there as the font allows; from then on it is a mark like a picture.
#pragma once

#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>

struct TextMark {
    // Around the letters: a ring of the edge colour, or a shadow down and to the right.
    enum class Edge { None, Outline, Shadow };

    QString text;  // one line; {name} and {date} are filled per video
    QString family;
    int pixelSize = 48;  // the letters' size in video pixels at 100 % zoom
    QColor colour = Qt::white;
    Edge edge = Edge::Outline;

    bool operator==(const TextMark&) const = default;
};

inline constexpr int kMinTextSize = 6, kMaxTextSize = 1000;
inline constexpr int kMaxTextLength = 200;  // characters of the text as typed

// What is wrong with a text mark as the user typed it, in the words of the
// "Text Watermark" window, which the command line says too: `field` is "text"
// or "colour", both empty when nothing is.
struct TextMarkProblem {
    QString field;
    QString problem;
};
TextMarkProblem textMarkProblem(const QString& text, const QString& colourRrggbb);

// "Outline", …: stored by name, so a reordering never changes a remembered edge.
const char* edgeName(TextMark::Edge edge);

// `text` with every {name} replaced by `name` and every {date} by `date` as
// YYYY-MM-DD ("" for an invalid date). Nothing else changes.
QString fillTokens(const QString& text, const QString& name, const QDate& date);

// What {name} stands for: the file name without its folder and its extension.
QString videoName(const QString& path);
// What {date} stands for: the day the video was recorded, where its file says
// (a moment with a zone counts in the user's time zone), else the day the
// file was last written.
QDate videoDate(const QDateTime& recorded, const QDateTime& fileWritten);
// The same for the video at `path`: reads the file's date when it needs it.
QDate videoDateOf(const QString& path, const QDateTime& recorded);

// The mark filled for the video at `path`, recorded at `recorded` (invalid
// when its file does not say).
TextMark filledFor(const TextMark& mark, const QString& path, const QDateTime& recorded);

// The colour of the edge: black around light letters, white around dark ones.
QColor edgeColourOf(const QColor& letters);

// The mark's size at 100 % zoom: the line's height in its font and its width,
// the edge included. At least 1 x 1.
QSize textMarkSize(const TextMark& mark);

// The (filled) mark drawn to fill `size` (Format_ARGB32, transparent around
// the letters). Drawn from the letters' outlines at that size, never scaled
// from a drawing of another size. Null for an empty size.
QImage drawTextMark(const TextMark& mark, QSize size);
