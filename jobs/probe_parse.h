// What the main window learns from one chunk of the encoder's probe text.
// Each chunk is read on its own: searches ignore case, take the first
// occurrence, and nothing carries over from an earlier chunk.
#pragma once

#include "rules/mark_colour.h"
#include "rules/orientation.h"

#include <QDateTime>
#include <QSize>
#include <QString>

#include <optional>

struct ProbeFacts {
    std::optional<QString> duration;  // 11 characters from behind "Duration: " (fewer at the chunk's end)
    std::optional<QString> width;     // as cut from the text, e.g. "320"
    std::optional<QString> height;    // as cut, e.g. "240" or "576," when a comma follows a short height
    // The display turn from the "Display:" line right after the video's line; nothing when the
    // chunk has none (the video is shown as coded), and nothing for a line cut short, written
    // otherwise than the encoder writes it, or whose shown size is not the coded size turned.
    std::optional<rules::Orientation> orientation;
    // When the file says it was recorded: the "Recorded:" line's moment (a UTC or offset time, or
    // the camera's local time when the file names no zone); nothing without a readable one.
    std::optional<QDateTime> recorded;
    // PQ or HLG from the "HDR:" line among the two after the video's; SDR without one.
    rules::Transfer transfer = rules::Transfer::Sdr;
};

// The duration text of a chunk, or nothing when the chunk has no "Duration".
std::optional<QString> durationOf(const QString& chunk);

// The moment of the chunk's "  Recorded: " line (at a line's start), read whole up to its line end.
std::optional<QDateTime> recordedOf(const QString& chunk);

// Duration and frame size of one chunk; the frame size is looked for only
// after "Duration", in the text that leaves out the chunk's last character.
ProbeFacts parseProbeChunk(const QString& chunk);

// The frame size two size texts stand for; nothing unless both start with a
// positive number.
std::optional<QSize> frameSizeOf(const QString& width, const QString& height);

// The whole number a size text stands for: leading spaces skipped, then the
// leading digits ("576," is 576). Nothing when no digit leads.
std::optional<int> sizeValue(const QString& text);
