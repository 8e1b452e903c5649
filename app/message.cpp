#include "app/message.h"

#include <QMessageBox>

void msgBox(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle), text, QMessageBox::Ok, parent);
    box.exec();
}
