// Picture files made at test time: BMP, JPEG and PNG through QImage, GIF
// (which Qt only reads) through a small writer of our own.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QString>

namespace fixtures {

// Writes bytes to path; false when it cannot.
bool writeBytes(const QString& path, const QByteArray& bytes);

// A w x h picture: its left half in `left`, its right half in `right`, and
// a one-pixel column of white at x = w - 1, so that what part of a picture
// was used can be told from a preview.
QImage halves(int w, int h, const QColor& left, const QColor& right);

// Saves image with the given format ("BMP", "JPG", "PNG").
bool save(const QImage& image, const QString& path, const char* format);

// A GIF89a with one frame per image (all of the first image's size), the
// colours taken from a small fixed palette (black, white, red, green, blue,
// yellow, cyan, magenta and greys).
bool writeGif(const QString& path, const QList<QImage>& frames);

}  // namespace fixtures
