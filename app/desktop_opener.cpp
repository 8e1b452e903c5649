#include "app/desktop_opener.h"

#include <QDir>
#include <QMetaObject>
#include <QProcess>
#include <QStandardPaths>

namespace {
constexpr QLatin1String kOpener("xdg-open");
}  // namespace

DesktopOpener::DesktopOpener(QObject* parent) : QObject(parent) {}

DesktopOpener::~DesktopOpener() {
    // Killing xdg-open ends only that script: a browser or file manager it
    // started has a process of its own and stays open.
    for (QProcess* process : findChildren<QProcess*>(Qt::FindDirectChildrenOnly)) {
        process->disconnect(this);
        if (process->state() == QProcess::NotRunning) continue;
        process->kill();
        process->waitForFinished();
    }
}

void DesktopOpener::open(const QString& path, const QString& failureText) {
    auto* process = new QProcess(this);
    process->setProgram(kOpener);
    process->setArguments({path});
    // Whatever xdg-open starts writes where the program writes, and reads nothing of ours.
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    const QString message = failureText + u'\n' + QDir::toNativeSeparators(path) + u'\n';

    connect(process, &QProcess::errorOccurred, this, [this, process, message](QProcess::ProcessError error) {
        // A crash is told by finished(); a failed start has no finished() to follow.
        if (error != QProcess::FailedToStart) return;
        const QString failure =
            message +
            (QStandardPaths::findExecutable(kOpener).isEmpty()
                 ? QStringLiteral("%1 was not found; it comes with the package xdg-utils.").arg(kOpener)
                 : QStringLiteral("%1 could not be started: %2").arg(kOpener, process->errorString()));
        // start() may report this before it returns: the message waits for the event loop.
        QMetaObject::invokeMethod(
            this, [this, process, failure] { finish(process, failure); }, Qt::QueuedConnection);
    });
    connect(process, &QProcess::finished, this,
            [this, process, message](int exitCode, QProcess::ExitStatus status) {
                QString failure;
                if (status != QProcess::NormalExit)
                    failure = message + QStringLiteral("%1 ended abnormally.").arg(kOpener);
                else if (exitCode != 0)
                    failure =
                        message + QStringLiteral("%1 ended with exit code %2.").arg(kOpener).arg(exitCode);
                finish(process, failure);
            });
    process->start();
}

void DesktopOpener::finish(QProcess* process, const QString& failure) {
    process->disconnect(this);
    process->deleteLater();
    if (!failure.isEmpty()) emit failed(failure);
    emit ended();
}
