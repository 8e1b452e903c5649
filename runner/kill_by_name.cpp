#include "runner/kill_by_name.h"

#include <QFile>

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>

namespace kill_by_name_detail {
namespace {

struct DirCloser {
    void operator()(DIR* d) const noexcept { ::closedir(d); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

// A /proc entry that is a process (all digits), else -1.
qint64 pidOfEntry(const char* entryName) {
    qint64 pid = 0;
    if (*entryName == '\0') return -1;
    for (const char* c = entryName; *c; ++c) {
        if (*c < '0' || *c > '9') return -1;
        pid = pid * 10 + (*c - '0');
        if (pid > 0x7fffffff) return -1;
    }
    return pid;
}

QString imageNameOf(qint64 pid) {
    const QByteArray dir = "/proc/" + QByteArray::number(pid);
    std::array<char, 4096> target{};
    const ssize_t n = ::readlink((dir + "/exe").constData(), target.data(), target.size());
    if (n > 0 && static_cast<std::size_t>(n) < target.size()) {
        return imageNameFromExeLink(QByteArray(target.data(), n));
    }
    // comm: the kernel's name of the task (at most 15 bytes), ended by "\n".
    QFile comm(QString::fromLatin1(dir + "/comm"));
    if (!comm.open(QIODevice::ReadOnly)) return QString();
    QByteArray name = comm.readAll();
    if (name.endsWith('\n')) name.chop(1);
    return QFile::decodeName(name);
}

}  // namespace

bool imageNameMatches(const QString& exeName, const QString& name) {
    if (name.isEmpty()) return false;
    // QString::right gives all of the text when it is shorter than k, as a
    // right-hand cut does; the comparison then fails on the length.
    return exeName.toLower().right(name.size()) == name.toLower();
}

QString imageNameFromExeLink(const QByteArray& target) {
    QByteArray path = target;
    static const QByteArray kDeleted = " (deleted)";
    if (path.endsWith(kDeleted)) path.chop(kDeleted.size());
    const qsizetype slash = path.lastIndexOf('/');
    return QFile::decodeName(slash >= 0 ? path.mid(slash + 1) : path);
}

std::vector<qint64> matchingProcesses(const QString& name) {
    std::vector<qint64> pids;
    if (name.isEmpty()) return pids;
    DirPtr proc(::opendir("/proc"));
    if (!proc) return pids;
    const qint64 self = ::getpid();
    while (const dirent* entry = ::readdir(proc.get())) {
        const qint64 pid = pidOfEntry(entry->d_name);
        if (pid <= 0 || pid == self) continue;
        const QString image = imageNameOf(pid);
        if (!image.isEmpty() && imageNameMatches(image, name)) pids.push_back(pid);
    }
    return pids;
}

}  // namespace kill_by_name_detail

void killProcessByName(const QString& name) {
    if (name.isEmpty()) return;
    for (const qint64 pid : kill_by_name_detail::matchingProcesses(name)) {
        // A process that has gone meanwhile (ESRCH) or is not ours to signal
        // (EPERM) is passed over, like one that cannot be opened.
        ::kill(static_cast<pid_t>(pid), SIGTERM);
    }
}
