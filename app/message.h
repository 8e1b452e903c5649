// The program's message box: modal, an OK button only, the program's title.
#pragma once

#include <QString>

class QWidget;

inline constexpr char kAppTitle[] = "Watermark Image";

void msgBox(QWidget* parent, const QString& text);
