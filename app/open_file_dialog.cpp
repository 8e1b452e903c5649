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
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        QString desc = parts[i];
        // Qt reads the patterns from the last parentheses of the entry.
        const qsizetype open = desc.lastIndexOf(u'(');
        if (open >= 0) desc = desc.left(open).trimmed();
        entries << QStringLiteral("%1 (%2)").arg(desc, patterns);
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
        // A typed name is accepted even when no such file exists; the probe says so.
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilter(qtFilter(filter_));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
    }
    // A cancel leaves the last choice in place.
    if (chosen.isEmpty()) return;
    fileName_ = chosen;
    fileTitle_ = QFileInfo(chosen).fileName();
}
