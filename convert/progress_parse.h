// The conversion's progress, read from one chunk of the encoder's text.
#pragma once

#include <QString>

#include <optional>

// The elapsed-time text of a chunk: behind the first "time" (any case) and the
// one separator after it, up to the next space; "" when no space follows.
// Nothing when the chunk holds no "time".
std::optional<QString> elapsedTextOf(const QString& chunk);

// Whole seconds of a duration text "HH:MM:SS..." (characters 1-2, 4-5, 7-8);
// 0 when any of the three is not a number.
qint32 durationSeconds(const QString& duration);
// The same with the fraction of the last second ("00:01:02.50" is 62.5); 0
// when the text cannot be read.
double durationInSeconds(const QString& duration);

// The percentage shown for an elapsed-time text against a duration text:
// rounded halves to even, at most 100; 0 when either cannot be read or the
// quotient leaves the signed 16-bit range.
int progressPercent(const QString& duration, const QString& elapsed);

// "Progress: N%"
QString progressCaption(int percent);
