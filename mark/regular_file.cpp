#include "mark/regular_file.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString sizeText(qint64 bytes) {
    return bytes >= (qint64(1) << 20) ? QStringLiteral("%1 MiB").arg(bytes >> 20)
                                      : QStringLiteral("%1 KiB").arg(bytes >> 10);
}

}  // namespace

// Open without waiting on a pipe's writer, then look at what was opened.
UniqueFd openRegularFile(const QString& path, qint64 maxBytes, QString* why) {
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    QString reason;
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0)
        reason = QStringLiteral("cannot be read: ") + systemReason(errno);
    else if (S_ISDIR(st.st_mode))
        reason = QStringLiteral("is a folder");
    else if (!S_ISREG(st.st_mode))
        reason = QStringLiteral("is not a regular file (a pipe, a socket or a device)");
    else if (st.st_size > maxBytes)
        reason = QStringLiteral("is larger than %1").arg(sizeText(maxBytes));
    if (reason.isEmpty()) return fd;
    if (why) *why = reason;
    return UniqueFd();
}

std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxBytes, QString* why) {
    QString reason;
    const UniqueFd fd = openRegularFile(path, maxBytes, &reason);
    QByteArray data;
    // The file may grow while it is read: what is past the limit is not taken.
    while (reason.isEmpty()) {
        char buffer[65536];
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) reason = QStringLiteral("cannot be read: ") + systemReason(errno);
        if (n <= 0) break;
        if (data.size() + n > maxBytes)
            reason = QStringLiteral("is larger than %1").arg(sizeText(maxBytes));
        else
            data.append(buffer, n);
    }
    if (!reason.isEmpty()) {
        if (why) *why = reason;
        return std::nullopt;
    }
    return data;
}
