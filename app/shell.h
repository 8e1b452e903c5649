// Small helpers every window uses: the program folder, colour text and the
// command-line-safe form of a path.
#pragma once

#include <QColor>
#include <QString>

// The folder of the running executable, without a trailing slash.
QString programFolder();
// Tests run the windows against a folder of their own; "" restores the default.
void setProgramFolderForTesting(const QString& folder);
// The encoder's file name in the program folder, "mxcode.dll". Closing the
// positioning window ends every process of that name, so tests give their
// copy of the encoder a name of their own.
QString encoderName();
void setEncoderNameForTesting(const QString& name);

// Where every result is written: programFolder() + "/watermarked" when the user
// can write the program folder (a portable copy), otherwise "watermarked" in
// the user's videos folder, which is created if missing (an installed program).
QString outputFolder();
// Where the working bitmaps go: the program folder when the user can write it,
// otherwise the user's cache folder for the program, created if missing.
QString workingFolder();

// "&H" and upper-case hexadecimal digits without leading zeros; a negative
// number gives its 32-bit two's complement in eight digits.
QString hexText(qint32 colour);
// hexText(r + 256 g + 65536 b). Throws std::overflow_error when a component
// lies outside 0..255, as a byte conversion would.
QString rgbHexText(qint16 r, qint16 g, qint16 b);
// The colour a colour text "&H..." stands for (red in the low byte).
QColor colorFromHexText(const QString& text);

// The form of an existing path that is safe as an unquoted command-line token:
// "" when path is "" or names nothing; path itself when it holds no white space,
// double quote, backslash, control or non-ASCII character; otherwise a symbolic
// link in a private folder of the user's that names the same file or folder.
QString commandLineSafePath(const QString& path);
