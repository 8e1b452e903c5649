#include "app/open_file_dialog.h"

#include "app/user_settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#include <utility>

namespace {

OpenFileDialog::Answer& answerSlot() {
    static OpenFileDialog::Answer answer;
    return answer;
}

bool isFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

}  // namespace

OpenFileDialog::OpenFileDialog(QString settingsKey, QStandardPaths::StandardLocation firstFolder)
    : settingsKey_(std::move(settingsKey)), firstFolder_(firstFolder) {}

QString OpenFileDialog::folder() const {
    if (settingsKey_.isEmpty()) return {};
    const QString last = userSettings().value(settingsKey_).toString();
    if (isFolder(last)) return last;
    const QString first = QStandardPaths::writableLocation(firstFolder_);
    if (isFolder(first)) return first;
    return QDir::homePath();
}

void OpenFileDialog::setAnswer(Answer answer) {
    answerSlot() = std::move(answer);
}

QString OpenFileDialog::qtFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // Cameras and some systems write upper-case extensions (".MP4", ".JPG"):
        // each pattern matches both ways, whatever dialog the desktop shows.
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(u';', Qt::SkipEmptyParts)) {
            patterns << pattern;
            if (pattern.toUpper() != pattern) patterns << pattern.toUpper();
        }
        QString desc = parts[i];
        // Qt reads the patterns from the last parentheses of the entry.
        const qsizetype open = desc.lastIndexOf(u'(');
        if (open >= 0) desc = desc.left(open).trimmed();
        entries << QStringLiteral("%1 (%2)").arg(desc, patterns.join(u' '));
    }
    return entries.join(QStringLiteral(";;"));
}

void OpenFileDialog::addFileType(const QString& description, const QString& pattern) {
    if (!filter_.isEmpty()) filter_ += u'|';
    filter_ += description + QStringLiteral(" (") + pattern + QStringLiteral(")|") + pattern;
}

void OpenFileDialog::exec(QWidget* parent) {
    QString chosen;
    if (answerSlot()) {
        chosen = answerSlot()(*this);
    } else {
        QFileDialog dialog(parent);
        if (const QString start = folder(); !start.isEmpty()) dialog.setDirectory(start);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        // Only a file that exists can be chosen: a typed "*" filters the list
        // instead of naming a file.
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilter(qtFilter(filter_));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
    }
    // A cancel leaves the last choice in place.
    if (chosen.isEmpty()) return;
    fileName_ = chosen;
    fileTitle_ = QFileInfo(chosen).fileName();
    if (settingsKey_.isEmpty()) return;
    // Only a convenience: a settings file that cannot be written costs the
    // user nothing but the folder next time, so it gets no message box.
    QSettings settings = userSettings();
    settings.setValue(settingsKey_, QFileInfo(chosen).absolutePath());
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qWarning("The folder of the choice could not be kept in %s", qPrintable(settings.fileName()));
}
