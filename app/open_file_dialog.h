// An open-file dialog that keeps its file-type list as text in the form
// "desc (pattern)|pattern|...", and shows the desktop's dialog only when
// asked. Tests answer it through setAnswer().
//
// A dialog with a settings key opens first in one of the user's standard
// folders, and afterwards in the folder of its last choice, which the user's
// settings keep from one run of the program to the next.
#pragma once

#include <QStandardPaths>
#include <QString>

#include <functional>

class QWidget;

class OpenFileDialog {
public:
    // Opens where the desktop's dialog likes and remembers nothing.
    OpenFileDialog() = default;
    OpenFileDialog(QString settingsKey, QStandardPaths::StandardLocation firstFolder);

    // The folder the dialog opens in: the last choice's when it is still
    // there, else the first folder, else the home folder. "" without a
    // settings key.
    QString folder() const;

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
    QString settingsKey_;
    QStandardPaths::StandardLocation firstFolder_ = QStandardPaths::HomeLocation;
    QString filter_;
    QString fileName_;
    QString fileTitle_;
};
