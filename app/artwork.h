// The main window's pictures, drawn at run time: the background with its
// headings and field names, the preview's placeholder and the window icon.
// They need a running QGuiApplication (fonts).
#pragma once

#include <QIcon>
#include <QImage>
#include <QPainterPath>
#include <QPointF>

#include <initializer_list>

namespace artwork {

// 625 x 412: grey 200 with the folder icons, "PICTURE ZOOM", "Video details",
// the white-outlined video panel with its field names, the title at the
// bottom centre and the logo in the bottom-right corner (under Image2).
// The closed outline through `corners`, in order.
QPainterPath polygonPath(std::initializer_list<QPointF> corners);

QImage background();

// 240 x 240: "Watermark Image" in white, diagonally, on dark grey.
QImage placeholder();

// The window icon, 32 x 32 (with a 16 x 16 and a 64 x 64 rendering).
QIcon windowIcon();

// The window icon's drawing at size x size, on a transparent background: the
// desktop's icons are rendered from it.
QImage iconImage(int size);

}  // namespace artwork
