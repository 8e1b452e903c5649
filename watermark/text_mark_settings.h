// The text of the last text watermark, remembered between windows and runs
// as the user wrote it (the tokens unfilled), with its font, size, colour and
// edge.
#pragma once

#include "mark/text_mark.h"

#include <optional>

class QSettings;

void saveTextMark(QSettings& settings, const TextMark& mark);
// The remembered mark; nothing when no text was remembered. A value that is
// missing or unreadable keeps the mark's own.
std::optional<TextMark> restoreTextMark(const QSettings& settings);
