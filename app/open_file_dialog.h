// An open-file dialog that keeps its file-type list as text in the form
// "desc (pattern)|pattern|...", and shows the desktop's dialog only when
// asked. Tests answer it through setAnswer().
#pragma once

#include <QString>

#include <functional>

class QWidget;

class OpenFileDialog {
public:
    // "desc (pattern)|pattern" entries joined by "|".
    const QString& filter() const { return filter_; }
    void clearFilter() { filter_.clear(); }
    // Appends "desc (pattern)|pattern", with "|" in front when the list is not empty.
    void addFileType(const QString& description, const QString& pattern);

    // Full path of the last chosen file; a cancel keeps it.
    const QString& fileName() const { return fileName_; }
    // The chosen file's name without its folder.
    const QString& fileTitle() const { return fileTitle_; }

    // Shows the dialog (open mode); a choice sets fileName() and fileTitle().
    void exec(QWidget* parent);

    // The Qt form of a filter text: "desc (pattern);;..." with ";" between
    // patterns turned into spaces.
    static QString qtFilter(const QString& filter);

    // When set, exec() calls it instead of showing a dialog; it returns the
    // chosen path or "" for a cancel.
    using Answer = std::function<QString(const OpenFileDialog& dialog)>;
    static void setAnswer(Answer answer);

private:
    QString filter_;
    QString fileName_;
    QString fileTitle_;
};
