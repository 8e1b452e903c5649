#include "jobs/work_folder.h"

#include "jobs/program_paths.h"

#include <QDir>
#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

constexpr std::size_t kRandomLength = 6;  // mkdtemp's XXXXXX
constexpr time_t kSettleSeconds = 60;

bool isRunFolderName(const char* name, const char* prefix) {
    const std::size_t length = std::strlen(prefix);
    return std::strncmp(name, prefix, length) == 0 && std::strlen(name) == length + kRandomLength;
}

// Empties the folder open as `fd` of what a run puts there: files and links,
// never following one, never descending.
void removeEntries(int fd) {
    const int listFd = ::dup(fd);
    if (listFd < 0) return;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        ::unlinkat(fd, entry->d_name, 0);
    }
    ::closedir(dir);
}

}  // namespace

WorkFolder::WorkFolder(Key, QString path, UniqueFd folder)
    : path_(std::move(path)), folder_(std::move(folder)) {}

WorkFolder::~WorkFolder() {
    removeEntries(folder_.get());
    ::rmdir(QFile::encodeName(path_).constData());
}

std::unique_ptr<WorkFolder> WorkFolder::create(QString* why) {
    return createIn(workingFolder(), why);
}

std::unique_ptr<WorkFolder> WorkFolder::createIn(const QString& parent, QString* why, const char* prefix) {
    const auto fail = [why](const QString& text) {
        if (why) *why = text;
        return nullptr;
    };
    if (!QDir().mkpath(parent)) return fail(QStringLiteral("cannot make the folder %1").arg(parent));
    removeAbandonedWorkFolders(parent, prefix);

    QByteArray pattern = QFile::encodeName(parent + u'/' + QLatin1String(prefix)) + "XXXXXX";
    // mkdtemp makes a new folder, 0700, and never follows a link at its name.
    if (!::mkdtemp(pattern.data()))
        return fail(QStringLiteral("cannot make a working folder in %1: %2")
                        .arg(parent, QString::fromLocal8Bit(std::strerror(errno))));
    UniqueFd folder(::open(pattern.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid() || ::flock(folder.get(), LOCK_EX | LOCK_NB) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        ::rmdir(pattern.constData());
        return fail(
            QStringLiteral("cannot hold the working folder %1: %2").arg(QFile::decodeName(pattern), reason));
    }
    return std::make_unique<WorkFolder>(Key{}, QFile::decodeName(pattern), std::move(folder));
}

int removeAbandonedWorkFolders(const QString& parent, const char* prefix) {
    UniqueFd parentFd(::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parentFd.valid()) return 0;
    const int listFd = ::dup(parentFd.get());
    if (listFd < 0) return 0;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!isRunFolderName(entry->d_name, prefix)) continue;
        UniqueFd folder(
            ::openat(parentFd.get(), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (!folder.valid() || ::fstat(folder.get(), &st) != 0 || st.st_uid != ::geteuid()) continue;
        // A folder just made may not be locked yet.
        if (st.st_mtime > ::time(nullptr) - kSettleSeconds) continue;
        // Held by a live program: its lock cannot be taken.
        if (::flock(folder.get(), LOCK_EX | LOCK_NB) != 0) continue;
        removeEntries(folder.get());
        if (::unlinkat(parentFd.get(), entry->d_name, AT_REMOVEDIR) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}
