// Stands in for the desktop while it lives: PATH leads first to a script
// named xdg-open that notes the path it is given and exits with `exitCode`;
// without an exit code PATH leads nowhere, as on a system without xdg-open.
// One that `waits` stays, like xdg-open waiting for a browser, until it is
// killed. The script uses shell built-ins only and starts nothing itself.
#pragma once

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

#include <sys/stat.h>

class FakeXdgOpen {
public:
    explicit FakeXdgOpen(std::optional<int> exitCode, bool waits = false) : oldPath_(qgetenv("PATH")) {
        if (exitCode) {
            // Nobody ever writes to the pipe, so reading it waits for good.
            const QString gate = folder_.filePath(QStringLiteral("gate"));
            if (waits) ::mkfifo(QFile::encodeName(gate).constData(), 0600);
            QFile script(folder_.filePath(QStringLiteral("xdg-open")));
            if (script.open(QIODevice::WriteOnly)) {
                script.write(
                    QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\n%2exit %3\n")
                        .arg(logPath(), waits ? QStringLiteral("read line < '%1'\n").arg(gate) : QString())
                        .arg(*exitCode)
                        .toUtf8());
                script.close();
                script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
            }
        }
        qputenv("PATH", exitCode ? QFile::encodeName(folder_.path()) + ':' + oldPath_
                                 : QFile::encodeName(folder_.path()));
    }
    ~FakeXdgOpen() { qputenv("PATH", oldPath_); }
    FakeXdgOpen(const FakeXdgOpen&) = delete;
    FakeXdgOpen& operator=(const FakeXdgOpen&) = delete;

    // The path of each call, in order.
    QStringList calls() const {
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QString logPath() const { return folder_.filePath(QStringLiteral("calls.log")); }

    QTemporaryDir folder_;
    QByteArray oldPath_;
};
