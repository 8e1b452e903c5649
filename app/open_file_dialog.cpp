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

void OpenFileDialog::ShowOpen(QWidget* parent) {
    QString chosen;
    if (answerSlot()) {
        chosen = answerSlot()(*this);
    } else {
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        // A typed name of a file that does not exist is accepted, as designed.
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilter(qtFilter(Filter));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
    }
    // A cancel leaves the last choice in place, as the dialog always did.
    if (chosen.isEmpty()) return;
    FileName = chosen;
    FileTitle = QFileInfo(chosen).fileName();
}
