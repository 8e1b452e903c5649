// The run's own working folder: private, never shared, never followed
// through a link, and gone with its owner or, when the owner was killed, with
// the next run's start.
#include "jobs/work_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <utime.h>

namespace {

bool writeText(const QString& path, const QByteArray& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

QByteArray readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Ages a folder past the moment a new one may still be unlocked.
void ageFolder(const QString& path) {
    const utimbuf old{::time(nullptr) - 3600, ::time(nullptr) - 3600};
    ASSERT_EQ(::utime(QFile::encodeName(path).constData(), &old), 0);
}

}  // namespace

TEST(WorkFolder, EachRunHasItsOwnPrivateFolderGoneWithIt) {
    QTemporaryDir parent;
    const QString under = parent.filePath(QStringLiteral("cache/watermark-image"));
    QString why;
    std::unique_ptr<WorkFolder> a = WorkFolder::createIn(under, &why);
    std::unique_ptr<WorkFolder> b = WorkFolder::createIn(under, &why);
    ASSERT_TRUE(a && b) << why.toStdString();
    EXPECT_NE(a->path(), b->path());
    EXPECT_EQ(QFileInfo(a->path()).absolutePath(), under);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(a->path()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ASSERT_TRUE(writeText(a->filePath(QStringLiteral("mask.bmp")), "a's mask"));
    ASSERT_TRUE(writeText(b->filePath(QStringLiteral("mask.bmp")), "b's mask"));
    EXPECT_EQ(readText(a->filePath(QStringLiteral("mask.bmp"))), "a's mask");
    const QString gone = a->path();
    a.reset();
    EXPECT_FALSE(QFileInfo::exists(gone));
    EXPECT_EQ(readText(b->filePath(QStringLiteral("mask.bmp"))), "b's mask");
}

TEST(WorkFolder, AnUnwritableParentSaysWhy) {
    QTemporaryDir parent;
    // A file where the folder should be: refused even for root.
    ASSERT_TRUE(writeText(parent.filePath(QStringLiteral("watermark-image")), "not a folder"));
    QString why;
    EXPECT_FALSE(WorkFolder::createIn(parent.filePath(QStringLiteral("watermark-image")), &why));
    EXPECT_FALSE(why.isEmpty());
}

TEST(WorkFolder, OnlyAbandonedRunFoldersAreSwept) {
    QTemporaryDir parent;
    const QDir dir(parent.path());
    // A live run's folder, old too.
    QString why;
    const std::unique_ptr<WorkFolder> live = WorkFolder::createIn(parent.path(), &why);
    ASSERT_TRUE(live) << why.toStdString();
    ASSERT_TRUE(writeText(live->filePath(QStringLiteral("mask.bmp")), "live"));
    ageFolder(live->path());
    // A killed program's folder: unlocked, old, with its bitmaps.
    ASSERT_TRUE(dir.mkdir(QStringLiteral("run-Ab12Cd")));
    ASSERT_TRUE(writeText(dir.filePath(QStringLiteral("run-Ab12Cd/mask.bmp")), "old"));
    ageFolder(dir.filePath(QStringLiteral("run-Ab12Cd")));
    // A folder of another name, and a link of our name to a user's folder.
    ASSERT_TRUE(dir.mkdir(QStringLiteral("keep-me")));
    QTemporaryDir user;
    ASSERT_TRUE(writeText(user.filePath(QStringLiteral("holiday.jpg")), "photo"));
    ASSERT_TRUE(QFile::link(user.path(), dir.filePath(QStringLiteral("run-Zz99Zz"))));
    // A folder of our name just made, not locked yet by its program.
    ASSERT_TRUE(dir.mkdir(QStringLiteral("run-New001")));

    EXPECT_EQ(removeAbandonedWorkFolders(parent.path()), 1);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("run-Ab12Cd"))));
    EXPECT_EQ(readText(live->filePath(QStringLiteral("mask.bmp"))), "live");
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("keep-me"))).isDir());
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("run-Zz99Zz"))).isSymLink());
    EXPECT_EQ(readText(user.filePath(QStringLiteral("holiday.jpg"))), "photo");
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("run-New001"))).isDir());
}
