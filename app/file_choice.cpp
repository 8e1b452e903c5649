#include "app/file_choice.h"

#include <QFileDialog>

namespace {

std::function<QStringList(const QString&)>& answerForTests() {
    static std::function<QStringList(const QString&)> answer;
    return answer;
}

}  // namespace

void setFileChoiceAnswer(std::function<QStringList(const QString& caption)> answer) {
    answerForTests() = std::move(answer);
}

QString chooseFileToSave(QWidget* parent, const QString& caption, const QString& suggested,
                         const QString& filter) {
    if (answerForTests()) return answerForTests()(caption).value(0);
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

QStringList chooseFilesToOpen(QWidget* parent, const QString& caption, const QString& folder,
                              const QString& filter) {
    if (answerForTests()) return answerForTests()(caption);
    return QFileDialog::getOpenFileNames(parent, caption, folder, filter);
}

QString chooseFolder(QWidget* parent, const QString& caption, const QString& folder) {
    if (answerForTests()) return answerForTests()(caption).value(0);
    return QFileDialog::getExistingDirectory(parent, caption, folder);
}
