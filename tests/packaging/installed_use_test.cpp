// An installed program used by someone who cannot write its folder: the
// results folder appears in the user's videos folder, the working bitmaps go
// to the user's cache, a conversion through the real windows lands in the
// results folder and the program folder is left as it was.
// Run by read_only_program_test.sh as an unprivileged user, with
//   WM_INSTALLED_PROGRAM_DIR  the installed program folder
//   WM_EXPECTED_VIDEOS_DIR    the videos folder the user's XDG folders name
//   WM_EXPECTED_CACHE_DIR     the program's folder in the user's cache
#include "app/desktop_opener.h"
#include "app/main_window.h"
#include "jobs/program_paths.h"
#include "jobs/working_bitmaps.h"
#include "positioning/positioning_window.h"
#include "program.h"

#include "tests/support/fake_xdg_open.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/video_fixtures.h"
#include "tests/support/window_test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

QString env(const char* name) {
    return qEnvironmentVariable(name);
}

// Every file under a folder with its size and time, to see that nothing changed.
QStringList snapshot(const QString& folder) {
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo f(it.next());
        out << f.filePath() +
                   QStringLiteral(" %1 %2").arg(f.size()).arg(f.lastModified().toMSecsSinceEpoch());
    }
    out.sort();
    return out;
}

}  // namespace

class InstalledUseTest : public QObject {
    Q_OBJECT
private slots:
    void aConversionLandsInTheVideosFolder();
};

void InstalledUseTest::aConversionLandsInTheVideosFolder() {
    const QString program = env("WM_INSTALLED_PROGRAM_DIR");
    const QString videos = env("WM_EXPECTED_VIDEOS_DIR");
    const QString cache = env("WM_EXPECTED_CACHE_DIR");
    QVERIFY2(!program.isEmpty() && !videos.isEmpty() && !cache.isEmpty(), "run by read_only_program_test.sh");
    // The premise: this user cannot write the program folder.
    QVERIFY2(::access(QFile::encodeName(program).constData(), W_OK) != 0, qPrintable(program));
    setProgramFolderForTesting(program);
    const QStringList before = snapshot(program);
    QVERIFY(!QFileInfo::exists(videos));

    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString video = work.filePath(QStringLiteral("my clip.avi"));
    QVERIFY(fixtures::makeVideo(video, QStringLiteral("320x240"), 1, true));
    QImage mark(60, 40, QImage::Format_RGB32);
    mark.fill(QColor(255, 0, 0));
    const QString picture = work.filePath(QStringLiteral("logo.bmp"));
    QVERIFY(mark.save(picture, "BMP"));

    // Start-up makes the results folder in the videos folder.
    const std::unique_ptr<MainWindow> main = buildProgram();
    MainWindow& w = *main;
    w.show();
    const QString results = videos + QStringLiteral("/watermarked");
    QCOMPARE(outputFolder(), results);
    QVERIFY(QFileInfo(results).isDir());
    QCOMPARE(workingFolder(), cache);

    QString next = video;
    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return next; });
    control<UserButton>(w, "Video Selection")->click();
    QVERIFY(!control<QLabel>(w, "Resolution")->text().isEmpty());
    next = picture;
    control<UserButton>(w, "Image Selection")->click();
    {
        ModalAnswerer answer;
        control<UserButton>(w, "Initialize Watermarking")->click();
    }
    PositioningWindow* form = PositioningWindow::loaded();
    QVERIFY(form);
    QTest::mouseClick(control<MarkCanvas>(*form, "Canvas"), Qt::LeftButton, {}, QPoint(100, 80));
    {
        ModalAnswerer answer;
        control<QPushButton>(*form, "Start Watermarking")->click();
        QCOMPARE(answer.texts(), QStringList{});
    }
    QCOMPARE(control<QLabel>(*form, "Progress")->text(), QStringLiteral("Progress: 100%"));

    const QString result = results + QStringLiteral("/wm-my clip.avi");
    QVERIFY2(fixtures::durationOf(result) > 0.5, qPrintable(result));
    const QImage frame = fixtures::frameOf(result, 10, 320, 240);
    QVERIFY(!frame.isNull());
    const QColor c = frame.pixelColor(130, 100);
    QVERIFY2(c.red() > 200 && c.green() < 60 && c.blue() < 60, qPrintable(c.name()));
    // The run's bitmaps went with it; nothing is left in the cache.
    QCOMPARE(QDir(cache).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());

    // "Open Video Folder" shows the folder the result is in.
    {
        FakeXdgOpen desktop(0);
        QSignalSpy ended(w.findChild<DesktopOpener*>(), &DesktopOpener::ended);
        ModalAnswerer answer;
        control<UserButton>(w, "Open Video Folder")->click();
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(desktop.calls(), QStringList{results});
        QCOMPARE(answer.texts(), QStringList{});
    }

    form->close();
    QCoreApplication::processEvents();
    QCOMPARE(snapshot(program), before);
}

QTEST_MAIN(InstalledUseTest)
#include "installed_use_test.moc"
