// The desktop's dialogs for a file to save, for several files to open and for
// a folder. Tests answer them through setFileChoiceAnswer() instead.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// "" when the user cancels. `filter` in Qt's form: "Jobs (*.wmjob)".
QString chooseFileToSave(QWidget* parent, const QString& caption, const QString& suggested,
                         const QString& filter);
// Nothing when the user cancels.
QStringList chooseFilesToOpen(QWidget* parent, const QString& caption, const QString& folder,
                              const QString& filter);
QString chooseFolder(QWidget* parent, const QString& caption, const QString& folder);

// For tests: every dialog returns what `answer` gives for its caption; an
// empty function brings the dialogs back.
void setFileChoiceAnswer(std::function<QStringList(const QString& caption)> answer);
