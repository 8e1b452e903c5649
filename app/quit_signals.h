// SIGTERM, SIGINT and SIGHUP to the program (a logout, a Ctrl+C in the
// terminal that started it, a kill) end it the orderly way: the handler only
// writes the signal's number to a pipe, and the event loop hands it on as
// arrived(), where closing the windows ends their conversions and keeps the
// parts.
#pragma once

#include "runner/unique_fd.h"

#include <QObject>

class QSocketNotifier;

class QuitSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; one instance at a time.
    explicit QuitSignals(QObject* parent = nullptr);
    // Puts the default handlers back.
    ~QuitSignals() override;

signals:
    void arrived(int signal);

private:
    void readSignals();

    UniqueFd read_;
    UniqueFd write_;
    QSocketNotifier* notifier_ = nullptr;
};
