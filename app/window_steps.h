// Helpers the windows share for their load and unload steps.
#pragma once

#include <QColor>

#include <exception>

class QLabel;
class QString;
class QWidget;

// Runs one step of a load or unload; a step that fails is skipped silently
// and the next one runs.
template <typename Step>
void skipOnFailure(Step&& step) {
    try {
        step();
    } catch (const std::exception&) {}
}

// Fills a control's background with c: the window colour, whatever role the
// control paints its background with (a check box uses its button colour)
// and a text box's text area.
void setBackground(QWidget* w, const QColor& c);

// Shrinks a label's font until `widest` fits on its one line: the given
// widths were made for a smaller system font.
void fitFont(QLabel* label, const QString& widest);
