// Paths the encoder's command line cannot carry reach it through links made in
// the run's own folder: the same file, a safe name, gone with the run, and no
// folder shared with other runs or users.
#include "jobs/path_links.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write("data");
}

// Sets an environment variable for one test; "" unsets it.
class EnvSetting {
public:
    EnvSetting(const char* name, const QByteArray& value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvSetting() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

QStringList entriesOf(const QString& folder, const QString& pattern) {
    return QDir(folder).entryList({pattern},
                                  QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace

TEST(PathLinks, SafePathsStayAndMissingOnesGiveNothing) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("clip_1-a.avi"));
    touch(file);
    PathLinks links;
    EXPECT_EQ(links.safePath(file), file);
    EXPECT_EQ(links.safePath(dir.path()), dir.path());
    EXPECT_EQ(links.safePath(QString()), QString());
    EXPECT_EQ(links.safePath(dir.filePath(QStringLiteral("missing.avi"))), QString());
    EXPECT_EQ(links.safePath(dir.filePath(QStringLiteral("no dir/clip.avi"))), QString());
}

TEST(PathLinks, AwkwardNamesGetALinkInTheRunsFolderGoneWithIt) {
    QTemporaryDir dir;
    std::unique_ptr<WorkFolder> run = WorkFolder::createIn(dir.filePath(QStringLiteral("cache")), nullptr);
    ASSERT_TRUE(run);
    const QStringList names = {QStringLiteral("holiday trip.avi"), QStringLiteral("clip\" -f x \"y.avi"),
                               QStringLiteral("back\\slash.mov"),  QStringLiteral("Überfahrt.mpg"),
                               QStringLiteral("tab\there.avi"),    QStringLiteral("my videos")};
    QStringList made;
    {
        PathLinks links(run.get());
        for (const QString& name : names) {
            SCOPED_TRACE(name.toStdString());
            const QString path = dir.filePath(name);
            if (name == QLatin1String("my videos")) {
                ASSERT_TRUE(QDir().mkdir(path));
                touch(path + QStringLiteral("/mask.bmp"));
            } else {
                touch(path);
            }
            const QString link = links.safePath(path);
            ASSERT_FALSE(link.isEmpty());
            EXPECT_TRUE(commandLineSafe(link)) << link.toStdString();
            EXPECT_EQ(QFileInfo(link).absolutePath(), run->path());
            EXPECT_EQ(QFileInfo(link).canonicalFilePath(), QFileInfo(path).canonicalFilePath());
            EXPECT_EQ(QFileInfo(link).suffix(),
                      QFileInfo(path).isDir() ? QString() : QFileInfo(path).suffix());
            EXPECT_EQ(links.safePath(path), link);
            made << link;
        }
        // A folder's link serves the paths below it.
        EXPECT_TRUE(QFileInfo::exists(made.last() + QStringLiteral("/mask.bmp")));
    }
    run.reset();
    for (const QString& link : made)
        EXPECT_FALSE(QFileInfo(link).isSymLink()) << link.toStdString();
}

TEST(PathLinks, AnAwkwardRunFolderPutsThemInAPrivateFolderOfTheirOwn) {
    QTemporaryDir dir;
    const QString runtime = dir.filePath(QStringLiteral("runtime"));
    ASSERT_TRUE(QDir().mkdir(runtime));
    const QString video = dir.filePath(QStringLiteral("a clip.mp4"));
    touch(video);
    std::unique_ptr<WorkFolder> run = WorkFolder::createIn(dir.filePath(QStringLiteral("my cache")), nullptr);
    ASSERT_TRUE(run);

    struct Case {
        const char* where;
        QByteArray runtimeDir;
        QString parent;
        QString pattern;
    };
    const QStringList inTmpBefore =
        entriesOf(QStringLiteral("/tmp"), QStringLiteral("watermark-image-??????"));
    const Case cases[] = {
        {"the session's runtime folder", QFile::encodeName(runtime),
         runtime + QStringLiteral("/watermark-image"), QStringLiteral("run-*")},
        {"no runtime folder: /tmp", QByteArray(), QStringLiteral("/tmp"),
         QStringLiteral("watermark-image-??????")},
    };
    // The cache folder as awkward as the run's, so that neither serves.
    const EnvSetting cache("XDG_CACHE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("my cache"))));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        const EnvSetting env("XDG_RUNTIME_DIR", c.runtimeDir);
        QString link;
        {
            PathLinks links(run.get());
            link = links.safePath(video);
            ASSERT_FALSE(link.isEmpty());
            EXPECT_TRUE(commandLineSafe(link)) << link.toStdString();
            const QString folder = QFileInfo(link).absolutePath();
            EXPECT_EQ(QFileInfo(folder).absolutePath(), c.parent);
            EXPECT_EQ(QFileInfo(folder).permissions() & (QFile::ReadGroup | QFile::ReadOther),
                      QFile::Permissions());
            EXPECT_EQ(QFileInfo(link).canonicalFilePath(), QFileInfo(video).canonicalFilePath());
        }
        EXPECT_FALSE(QFileInfo::exists(QFileInfo(link).absolutePath())) << "the links' folder stays";
    }
    EXPECT_EQ(entriesOf(QStringLiteral("/tmp"), QStringLiteral("watermark-image-??????")), inTmpBefore);
}
