#include "app/open_file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace {
OpenFileDialog::Answer& answerSlot() {
    static OpenFileDialog::Answer answer;
    return answer;
}
}  // namespace

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
}
