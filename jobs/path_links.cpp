#include "jobs/path_links.h"

#include "jobs/program_paths.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace {

// Earlier versions kept their links in one folder for every run, never
// emptied: the links go (only links, only in a folder of this user's), and the
// folder in /tmp with them.
void removeLinksIn(const QByteArray& path, bool folderToo) {
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st {};
    DIR* dir = ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        ::close(fd);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        struct stat link {};
        if (::fstatat(fd, entry->d_name, &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode))
            ::unlinkat(fd, entry->d_name, 0);
    }
    ::closedir(dir);
    if (folderToo) ::rmdir(path.constData());
}

void removeOldLinksNow() {
    removeLinksIn(QByteArray("/tmp/watermark-image-") + QByteArray::number(::geteuid()), true);
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/')) removeLinksIn(runtime + "/watermark-image", false);
}

// Once a process, whichever thread comes first (the queue describes videos on several).
void removeOldLinks() {
    static const bool done = (removeOldLinksNow(), true);
    (void)done;
}

}  // namespace

bool commandLineSafe(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u <= 0x20 || u == 0x7f || u >= 0x80 || u == u'"' || u == u'\\') return false;
    }
    return true;
}

PathLinks::PathLinks(const WorkFolder* folder) : folder_(folder) {
    removeOldLinks();
}

PathLinks::~PathLinks() = default;

QString PathLinks::linkFolder() {
    if (folder_ && commandLineSafe(folder_->path())) return folder_->path();
    if (own_) return own_->path();
    // A home folder with a space in its name: the session's runtime folder, or
    // a folder of the run's own with a random name in /tmp.
    QStringList parents;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/')) parents << QFile::decodeName(runtime) + QStringLiteral("/watermark-image");
    parents << workingFolder() << QStringLiteral("/tmp");
    for (const QString& parent : parents) {
        if (!commandLineSafe(parent)) continue;
        const bool shared = parent == QLatin1String("/tmp");
        own_ = shared ? WorkFolder::createIn(parent, nullptr, WorkFolder::sharedPrefix())
                      : WorkFolder::createIn(parent, nullptr);
        if (own_) return own_->path();
    }
    return {};
}

QString PathLinks::safePath(const QString& path) {
    if (path.isEmpty()) return {};
    const QFileInfo info(path);
    if (!info.exists()) return {};
    if (commandLineSafe(path)) return path;

    const QString folder = linkFolder();
    if (folder.isEmpty()) return {};
    const QString target = info.absoluteFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(QFile::encodeName(target), QCryptographicHash::Sha256).toHex().left(24);
    QString suffix = info.isDir() ? QString() : info.suffix();
    if (!commandLineSafe(suffix)) suffix.clear();
    const QString link =
        folder + u'/' + QString::fromLatin1(hash) + (suffix.isEmpty() ? QString() : u'.' + suffix);
    const QByteArray linkName = QFile::encodeName(link);
    // Asked before: the link is there already, naming the same target.
    if (QFileInfo(link).symLinkTarget() == target) return link;
    ::unlink(linkName.constData());
    if (::symlink(QFile::encodeName(target).constData(), linkName.constData()) != 0) return {};
    return link;
}
