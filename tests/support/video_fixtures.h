// Videos made for a test by Debian's ffmpeg, and what ffmpeg and ffprobe
// read back from a result. The program itself never runs either.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

namespace fixtures {

// Runs a program to its end (at most 2 minutes) and gives its standard
// output; `exitCode` gets -1 when it did not exit normally.
QByteArray runProgram(const QString& program, const QStringList& args, int* exitCode = nullptr);

// A test-pattern video of `size` ("320x240") and `seconds`, MPEG-4 at 25
// frames a second, with a 440 Hz tone in MP3 when `withSound`.
bool makeVideo(const QString& path, const QString& size, double seconds, bool withSound = false);

// A clip of `frames` frames from an ffmpeg lavfi source such as
// "testsrc=size=320x240:rate=25", coded losslessly in RGB (FFV1; the path
// should end in .mkv). A conversion keeps the codec, so a result's pixels can
// be compared exactly.
bool makeLosslessVideo(const QString& path, const QString& source, int frames);

// Frame `index` of a video, w x h, as RGB; null when it cannot be had.
QImage frameOf(const QString& video, int index, int w, int h);

// The container's duration in seconds; -1 when ffprobe cannot tell.
double durationOf(const QString& video);

// CPU seconds this process has used, user and system.
double cpuSeconds();

}  // namespace fixtures
