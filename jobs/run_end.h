// The line the window shows when a conversion ends, read from the encoder's exit code and text.
#pragma once

#include <QString>

#include <optional>

struct RunEnd {
    enum class Kind { Done, Stopped, Failed };
    Kind kind = Kind::Failed;
    // "Done and checked: <file>, <check>[; re-encoded …][; the earlier stopped part is removed]",
    // "Stopped at N %: the part is <file>, checked: <check>[; re-encoded …]",
    // "Failed the check: <reason>; the file is kept as <file>", "Failed: <reason>"
    QString text;
    QString path;  // the complete result or the kept part; "" when nothing was kept
};

// What a smart run coded again, from the encoder's line "Re-encoded 0:00–0:12 of 3:00, the rest
// copied." (or "Nothing re-encoded of 3:00, all copied."), starting in lower case and without the
// full stop; nothing when it wrote none.
std::optional<QString> reencodedSummary(const QString& encoderText);

// The path of the part a stopped run kept, from the encoder's closing line "Stopped by signal N; the
// part converted so far is kept as '<path>', the result's name is left untouched."; nothing unless
// the text ends with that line. The path is taken whole, whatever quotes or line breaks it holds.
// The text as the runner hands it (one character per byte) or already decoded.
std::optional<QString> stoppedPartPath(const QString& encoderText);

// What the encoder's check of the written file said: its line "check: 1:23.4, 1997 frames, 3 streams"
// without "check: " ("1:23.4, 1997 frames, 3 streams"); nothing when it wrote none.
std::optional<QString> checkSummary(const QString& encoderText);

// The last line the encoder wrote (progress lines end in "\r"), trimmed; "" when it wrote none.
QString lastEncoderLine(const QString& encoderText);

// exitCode: the encoder's exit status (0 for a complete result, 128 + N after signal N); percent:
// the progress shown last; resultPath: the result asked for; encoderText: what the encoder wrote,
// at least its last lines, as for stoppedPartPath.
RunEnd endOfRun(int exitCode, int percent, const QString& resultPath, const QString& encoderText);
