// killProcessByName: sends SIGTERM to every process whose
// executable file name ends with `name`, ignoring letter case.
//
// The executable file name of a process is the last component of
// readlink /proc/PID/exe (without the " (deleted)" that Linux appends for a
// removed file), or /proc/PID/comm where that link cannot be read (processes
// of other users, kernel threads). "" terminates nothing. Processes that
// vanish or refuse the signal are passed over silently; our own process is
// never signalled. Synchronous; nothing is reported.
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

void killProcessByName(const QString& name);

namespace kill_by_name_detail {

// The rule: the last k characters of the lower-cased exe name (all of
// it when it is shorter than k), k = the length of name, equal the lower-cased
// name. False for "".
bool imageNameMatches(const QString& exeName, const QString& name);

// The file name part of a /proc/PID/exe link target.
QString imageNameFromExeLink(const QByteArray& target);

// The processes killProcessByName would signal, ourselves excluded.
std::vector<qint64> matchingProcesses(const QString& name);

}  // namespace kill_by_name_detail
