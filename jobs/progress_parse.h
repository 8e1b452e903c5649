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

// The conversion's speed, a multiple of real time, from the last "speed=2.31x" of a chunk;
// nothing when the chunk holds none or its value is no positive number.
std::optional<double> speedOf(const QString& chunk);

// "2.3x, about 0:41 left": the speed and the time left at that speed for the seconds not yet
// converted of `totalSeconds`, rounded up to whole seconds ("1:02:05" from an hour on); "" when
// the speed or the duration is not known.
QString paceText(double speed, double elapsedSeconds, double totalSeconds);

// The encoder's progress line: "frame=  N fps= F … time=S … speed=2.31x[ re-encoded …]".
struct EncoderProgress {
    long long frames = 0;
    double fps = 0;
    double seconds = 0;  // converted so far
    QString elapsed;     // the "time=" text, as progressPercent() reads it
    QString line;        // the whole line
    // What a smart run codes again, behind the speed: "re-encoded 0:00–0:12 of 3:00, the rest
    // copied"; "" for a run that codes everything.
    QString reencoded;
};
// The last complete progress line in `text` (progress lines end in "\r");
// nothing when there is none.
std::optional<EncoderProgress> lastProgress(const QString& text);
