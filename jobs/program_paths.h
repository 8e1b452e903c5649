// Where the program and its files are: the program folder and the encoder in
// it, the results folder and the working folder.
#pragma once

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
// Whether anything has that name: a file, a folder or a link, a dangling one
// too (a result there is done; a new result never goes there).
bool nameTaken(const QString& path);

// Where the working bitmaps go: the program folder when the user can write it,
// otherwise the user's cache folder for the program, created if missing.
QString workingFolder();
