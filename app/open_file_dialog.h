// An open-file dialog that keeps its file-type list as text in the form
// "desc (pattern)|pattern|...", as the windows build it, and shows the
// desktop's dialog only when asked. Tests answer it through setAnswer().
#pragma once

#include <QString>

#include <functional>

class QWidget;

class OpenFileDialog {
public:
    QString Filter;     // "desc (pattern)|pattern" entries joined by "|"
    QString FileName;   // full path of the last chosen file; a cancel keeps it
    QString FileTitle;  // the chosen file's name without its folder

    // Shows the dialog (open mode); a choice sets FileName and FileTitle.
    void ShowOpen(QWidget* parent);

    // The Qt form of Filter: "desc (pattern);;..." with ";" between patterns
    // turned into spaces.
    static QString qtFilter(const QString& filter);

    // When set, ShowOpen calls it instead of showing a dialog; it returns the
    // chosen path or "" for a cancel.
    using Answer = std::function<QString(const OpenFileDialog& dialog)>;
    static void setAnswer(Answer answer);
};
