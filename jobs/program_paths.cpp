#include "jobs/program_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kAppName[] = "watermark-image";

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

bool nameTaken(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}
