#include "jobs/program_paths.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kAppName[] = "watermark-image";

bool safeForToken(const QString& s) {
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u <= 0x20 || u == 0x7f || u >= 0x80 || u == u'"' || u == u'\\') return false;
    }
    return true;
}

// A folder only this user can enter: created 0700 if missing, refused when it
// is a link, another user's, or open to others.
bool privateFolder(const QByteArray& path) {
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 0077) == 0;
}

QString aliasFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && runtime.startsWith('/')) {
        const QString dir = QString::fromLocal8Bit(runtime) + u'/' + QLatin1String(kAppName);
        if (safeForToken(dir) && privateFolder(QFile::encodeName(dir))) return dir;
    }
    const QString dir = QStringLiteral("/tmp/%1-%2").arg(QLatin1String(kAppName)).arg(::getuid());
    if (privateFolder(QFile::encodeName(dir))) return dir;
    return {};
}

}  // namespace

namespace {
// What a test put in place of the program's own; "" while nothing is.
QString forcedProgramFolder;
QString forcedEncoderName;
}  // namespace

QString programFolder() {
    return forcedProgramFolder.isEmpty() ? QCoreApplication::applicationDirPath() : forcedProgramFolder;
}

void setProgramFolderForTesting(const QString& folder) {
    forcedProgramFolder = folder;
}

QString encoderName() {
    return forcedEncoderName.isEmpty() ? QStringLiteral("mxcode.dll") : forcedEncoderName;
}

void setEncoderNameForTesting(const QString& name) {
    forcedEncoderName = name;
}

namespace {
// An installed program's folder belongs to root: its users write elsewhere.
bool programFolderWritable() {
    return ::access(QFile::encodeName(programFolder()).constData(), W_OK) == 0;
}
}  // namespace

QString outputFolder() {
    if (programFolderWritable()) return programFolder() + QStringLiteral("/watermarked");
    // The caller creates "watermarked" itself; its parent must exist for that.
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    QDir().mkpath(videos);
    return videos + QStringLiteral("/watermarked");
}

QString workingFolder() {
    // Named after the program rather than its display name: no space to alias
    // on the encoder's command line. Each run works in a folder of its own
    // below it (WorkFolder).
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u'/' +
           QLatin1String(kAppName);
}

QString commandLineSafePath(const QString& path) {
    if (path.isEmpty()) return {};
    const QFileInfo info(path);
    if (!info.exists()) return {};
    if (safeForToken(path)) return path;

    const QString folder = aliasFolder();
    if (folder.isEmpty()) return {};
    const QString target = info.absoluteFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(target.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    QString suffix = info.isDir() ? QString() : info.suffix();
    if (!safeForToken(suffix)) suffix.clear();
    const QString alias =
        folder + u'/' + QString::fromLatin1(hash) + (suffix.isEmpty() ? QString() : u'.' + suffix);

    // Made under a temporary name and renamed over the alias, so that a reader
    // never sees a missing or half-made link.
    const QByteArray tmp = QFile::encodeName(alias + QStringLiteral(".%1.tmp").arg(::getpid()));
    ::unlink(tmp.constData());
    if (::symlink(QFile::encodeName(target).constData(), tmp.constData()) != 0) return {};
    if (::rename(tmp.constData(), QFile::encodeName(alias).constData()) != 0) {
        ::unlink(tmp.constData());
        return {};
    }
    return alias;
}
