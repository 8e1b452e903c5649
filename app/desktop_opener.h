// Opens a file or folder with the desktop's own program through xdg-open,
// without waiting for it: xdg-open may stay until the browser it started is
// closed. Each xdg-open is a child of the opener and is reaped when it ends;
// one still running when the opener goes is ended then (what it started
// stays open).
#pragma once

#include <QObject>
#include <QString>

class QProcess;

class DesktopOpener : public QObject {
    Q_OBJECT
public:
    explicit DesktopOpener(QObject* parent = nullptr);
    ~DesktopOpener() override;

    // Starts xdg-open on `path`. When it cannot be started or exits with
    // other than 0, failed() follows with `failureText`, the path and what
    // went wrong, one to a line.
    void open(const QString& path, const QString& failureText);

signals:
    void failed(const QString& message);
    // After each open, successful or not, once its xdg-open has been reaped.
    void ended();

private:
    void finish(QProcess* process, const QString& failure);
};
