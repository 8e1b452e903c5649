// The main window itself: its frame, the place and look of every control,
// what assistive technology sees, the two small commands and a screenshot.
#include "app/main_window.h"
#include "program.h"

#include "app/desktop_opener.h"
#include "app/picture_box.h"
#include "app/user_button.h"
#include "jobs/program_paths.h"
#include "tests/support/fake_xdg_open.h"
#include "tests/support/modal_answerer.h"
#include "tests/support/picture_fixtures.h"

#include "tests/support/window_test_support.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The state letter of every child process this test has, running or not
// yet reaped ("Z"), from /proc.
QString childStates() {
    QString states;
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs);
    for (const QString& pid : pids) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        // "pid (name) state ppid ...": the name may hold spaces and parentheses.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1] == self) states += QLatin1String(fields[0]);
    }
    return states;
}

// Waits for the window's opener to end `count` runs in all.
bool openerEnded(QSignalSpy& ended, int count) {
    for (int turn = 0; ended.count() < count && turn < 100; ++turn)
        ended.wait(1000);
    return ended.count() == count;
}

QColor at(const QImage& img, int x, int y) {
    return img.pixelColor(x, y);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void frame();
    void controlPlaces_data();
    void controlPlaces();
    void objectNamesStay();
    void looks();
    void buttonFaces();
    void accessibility();
    void desktopOpenings_data();
    void desktopOpenings();
    void userGuideOnEveryClick();
    void aWaitingXdgOpenNeitherHoldsTheWindowNorOutlivesIt();
    void dialogsOpenInTheUsersFoldersThenInTheLastChosen();
    void screenshotWithPicture();
};

void MainWindowTest::cleanup() {
    OpenFileDialog::setAnswer({});
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
}

void MainWindowTest::frame() {
    MainWindow w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Watermark Image"));
    QCOMPARE(w.minimumSize(), QSize(621, 408));
    QCOMPARE(w.maximumSize(), QSize(621, 408));
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!w.windowIcon().pixmap(32, 32).isNull());

    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.size(), QSize(621, 408));
    // Centred up to the window frame's few pixels.
    const QPoint off = w.geometry().center() - w.screen()->availableGeometry().center();
    QVERIFY2(qAbs(off.x()) <= 4 && qAbs(off.y()) <= 4, "the window is centred when first shown");
    // Resizing is refused.
    w.resize(800, 600);
    QCOMPARE(w.size(), QSize(621, 408));
}

void MainWindowTest::controlPlaces_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Video Selection") << "Video Selection"
                                     << "UserButton" << QRect(56, 8, 201, 25) << "Video Selection";
    QTest::newRow("Image Selection") << "Image Selection"
                                     << "UserButton" << QRect(56, 48, 201, 25) << "Image Selection";
    QTest::newRow("Initialize Watermarking")
        << "Initialize Watermarking"
        << "UserButton" << QRect(56, 88, 201, 25) << "Initialize Watermarking";
    QTest::newRow("Picture zoom slider") << "Picture zoom"
                                         << "QSlider" << QRect(328, 24, 273, 25) << "";
    QTest::newRow("Picture zoom value") << "Picture zoom"
                                        << "QLabel" << QRect(560, 80, 41, 25) << "100%";
    QTest::newRow("Preview frame") << "Preview frame"
                                   << "QFrame" << QRect(328, 80, 273, 273) << "";
    QTest::newRow("Preview") << "Preview"
                             << "PictureBox" << QRect(344, 96, 240, 240) << "";
    QTest::newRow("Title") << "Title"
                           << "QLabel" << QRect(64, 173, 209, 17) << "";
    QTest::newRow("Path") << "Path"
                          << "QPlainTextEdit" << QRect(32, 214, 233, 46) << "";
    QTest::newRow("Resolution") << "Resolution"
                                << "QLabel" << QRect(64, 269, 185, 17) << "";
    QTest::newRow("Duration") << "Duration"
                              << "QLabel" << QRect(104, 287, 161, 17) << "";
    QTest::newRow("Open Video Folder") << "Open Video Folder"
                                       << "UserButton" << QRect(80, 328, 169, 25) << "Open Video Folder";
    QTest::newRow("User guide") << "User guide"
                                << "ClickArea" << QRect(448, 368, 177, 41) << "";
}

void MainWindowTest::controlPlaces() {
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QRect, place);
    QFETCH(QString, caption);
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto* c = control(w, name, kind.toLatin1().constData());
    QVERIFY(c);
    QVERIFY(c->inherits(kind.toLatin1().constData()));
    QCOMPARE(c->geometry(), place);
    QVERIFY(c->isVisible());
    if (auto* b = qobject_cast<QAbstractButton*>(c); b && kind == "UserButton") QCOMPARE(b->text(), caption);
    if (auto* l = qobject_cast<QLabel*>(c)) QCOMPARE(l->text(), caption);
}

// The short object names stay for what may look controls up by them.
void MainWindowTest::objectNamesStay() {
    MainWindow w;
    QCOMPARE(w.objectName(), QString("Form1"));
    const struct {
        const char* objectName;
        QWidget* control;
    } controls[] = {{"Command6", control<UserButton>(w, "Video Selection")},
                    {"browse", control<UserButton>(w, "Image Selection")},
                    {"Command9", control<UserButton>(w, "Initialize Watermarking")},
                    {"Command5", control<UserButton>(w, "Open Video Folder")},
                    {"Slider1", control<QSlider>(w, "Picture zoom")},
                    {"Label1", control<QLabel>(w, "Picture zoom")},
                    {"Shape1", control<QFrame>(w, "Preview frame")},
                    {"Image1", control<PictureBox>(w, "Preview")},
                    {"Image2", control<QAbstractButton>(w, "User guide")},
                    {"vidtitle", control<QLabel>(w, "Title")},
                    {"textvid", control<QPlainTextEdit>(w, "Path")},
                    {"vidres", control<QLabel>(w, "Resolution")},
                    {"Label5", control<QLabel>(w, "Duration")}};
    for (const auto& c : controls)
        QCOMPARE(child<QWidget>(w, c.objectName), c.control);
}

void MainWindowTest::looks() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    // The placeholder: dark grey, with white writing across the middle.
    const QImage preview = control<PictureBox>(w, "Preview")->image();
    QCOMPARE(preview.size(), QSize(240, 240));
    QCOMPARE(at(preview, 2, 2), QColor(64, 64, 64));
    QCOMPARE(at(preview, 237, 237), QColor(64, 64, 64));
    int white = 0;
    for (int i = 60; i < 180; ++i) {
        for (int d = -12; d <= 12; ++d) {
            if (at(preview, i + d, 240 - i).lightness() > 230) ++white;
        }
    }
    QVERIFY2(white > 150, "white writing along the rising diagonal");

    // White zoom text, dark-grey field texts on the window's grey.
    QCOMPARE(control<QLabel>(w, "Picture zoom")->palette().color(QPalette::WindowText), QColor(Qt::white));
    for (QLabel* l :
         {control<QLabel>(w, "Title"), control<QLabel>(w, "Resolution"), control<QLabel>(w, "Duration")})
        QCOMPARE(l->palette().color(QPalette::WindowText), QColor(64, 64, 64));
    QCOMPARE(control<QPlainTextEdit>(w, "Path")->palette().color(QPalette::Text), QColor(Qt::black));
    QVERIFY(control<QPlainTextEdit>(w, "Path")->isReadOnly());
    // A file named like markup ("a<b>.avi") is shown as it is called.
    for (const char* name : {"Title", "Resolution", "Duration"})
        QCOMPARE(control<QLabel>(w, name)->textFormat(), Qt::PlainText);
    QCOMPARE(control<QLabel>(w, "Title")->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);

    // The background reaches the corners of the window, grey 200.
    const QImage shot = w.grab().toImage();
    QCOMPARE(at(shot, 300, 2), QColor(200, 200, 200));
    QCOMPARE(at(shot, 3, 404), QColor(200, 200, 200));
    // The preview frame is a one-pixel black line.
    QCOMPARE(at(shot, 328, 200), QColor(Qt::black));
    QCOMPARE(at(shot, 329, 200), QColor(200, 200, 200));
    QCOMPARE(at(shot, 450, 352), QColor(Qt::black));
}

void MainWindowTest::buttonFaces() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    UserButton* b = control<UserButton>(w, "Image Selection");
    QVERIFY(b->font().bold());
    QCOMPARE(b->font().pointSizeF(), 8.25);

    auto face = [b] {
        return b->grab().toImage().pixelColor(4, 4);
    };
    auto hasCaption = [b] {
        const QImage img = b->grab().toImage();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 20; x < img.width() - 20; ++x)
                if (img.pixelColor(x, y) == QColor(64, 64, 64)) return true;
        return false;
    };
    QCOMPARE(face(), QColor(192, 192, 192));
    QVERIFY(hasCaption());

    QTest::mouseMove(b, b->rect().center());
    QTRY_VERIFY(b->underMouse());
    QCOMPARE(face(), QColor(224, 224, 224));

    b->setDown(true);
    QCOMPARE(face(), QColor(64, 64, 64));
    b->setDown(false);
    QTest::mouseMove(&w, QPoint(600, 200));
    QTRY_VERIFY(!b->underMouse());
    QCOMPARE(face(), QColor(192, 192, 192));
}

void MainWindowTest::accessibility() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    control<QPlainTextEdit>(w, "Path")->setPlainText(QStringLiteral("/videos/holiday.avi"));
    w.setVideoFrame(QStringLiteral("640"), QStringLiteral("480"), QSize(640, 480));  // as the probe does

    auto iface = [](QWidget* c) {
        return QAccessible::queryAccessibleInterface(c);
    };
    const struct {
        QWidget* control;
        QString name;
    } buttons[] = {{control<UserButton>(w, "Video Selection"), "Video Selection"},
                   {control<UserButton>(w, "Image Selection"), "Image Selection"},
                   {control<UserButton>(w, "Initialize Watermarking"), "Initialize Watermarking"},
                   {control<UserButton>(w, "Open Video Folder"), "Open Video Folder"},
                   {control<QAbstractButton>(w, "User guide"), "User guide"}};
    for (const auto& b : buttons) {
        QAccessibleInterface* a = iface(b.control);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::Button);
        QCOMPARE(a->text(QAccessible::Name), b.name);
        QVERIFY(a->actionInterface());
        QVERIFY(a->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    }

    QAccessibleInterface* slider = iface(control<QSlider>(w, "Picture zoom"));
    QCOMPARE(slider->role(), QAccessible::Slider);
    QVERIFY(slider->valueInterface());
    QCOMPARE(slider->valueInterface()->currentValue().toInt(), 100);
    QCOMPARE(slider->valueInterface()->minimumValue().toInt(), 1);
    QCOMPARE(slider->valueInterface()->maximumValue().toInt(), 100);

    // Each value a label shows: what it is, and what it shows now.
    const struct {
        QString name;
        QString value;
    } values[] = {{"Picture zoom", "100%"}, {"Resolution", "640 x 480"}, {"Title", ""}, {"Duration", ""}};
    for (const auto& v : values)
        QCOMPARE(accessible(w, QAccessible::StaticText, v.name)->text(QAccessible::Description), v.value);
    QAccessibleInterface* path = iface(control<QPlainTextEdit>(w, "Path"));
    QCOMPARE(path->text(QAccessible::Name), QStringLiteral("Path"));
    QVERIFY(path->textInterface());
    QCOMPARE(path->textInterface()->text(0, path->textInterface()->characterCount()),
             QStringLiteral("/videos/holiday.avi"));

    QAccessibleInterface* preview = iface(control<PictureBox>(w, "Preview"));
    QCOMPARE(preview->text(QAccessible::Name), QStringLiteral("Preview"));
    QCOMPARE(preview->rect(), QRect(w.mapToGlobal(QPoint(344, 96)), QSize(240, 240)));

    // The mark's size under the preview, as the picture preview shows it.
    QImage mark(120, 60, QImage::Format_ARGB32);
    mark.fill(Qt::red);
    w.showPreview(mark, mark.size());
    QCOMPARE(accessible(w, QAccessible::StaticText, "Watermark size")->text(QAccessible::Description),
             QStringLiteral("120 x 60 pixels"));
}

void MainWindowTest::desktopOpenings_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("xdgOpenExit");  // -1: no xdg-open on PATH
    QTest::addColumn<QString>("failure");  // the message's first line, "" for none
    QTest::addColumn<QString>("reason");   // how its last line starts
    const QString folder = QStringLiteral("No file manager could be started to show the folder");
    const QString guide = QStringLiteral("No web browser could be started to show the user guide");
    QTest::newRow("folder shown") << "Open Video Folder" << 0 << QString() << QString();
    QTest::newRow("folder, xdg-open fails")
        << "Open Video Folder" << 1 << folder << "xdg-open ended with exit code 1.";
    QTest::newRow("folder, no xdg-open") << "Open Video Folder" << -1 << folder << "xdg-open was not found";
    QTest::newRow("guide shown") << "User guide" << 0 << QString() << QString();
    QTest::newRow("guide, xdg-open fails")
        << "User guide" << 4 << guide << "xdg-open ended with exit code 4.";
    QTest::newRow("guide, no xdg-open") << "User guide" << -1 << guide << "xdg-open was not found";
}

void MainWindowTest::desktopOpenings() {
    QFETCH(QString, button);
    QFETCH(int, xdgOpenExit);
    QFETCH(QString, failure);
    QFETCH(QString, reason);
    const QString guide = programFolder() + QStringLiteral("/user-guide.html");
    QVERIFY(QFile::copy(QStringLiteral(WM_SOURCE_DIR "/docs/user-guide.html"), guide) ||
            QFile::exists(guide));
    const QString path = button == QLatin1String("Open Video Folder") ? outputFolder() : guide;
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        FakeXdgOpen desktop(xdgOpenExit < 0 ? std::nullopt : std::optional<int>(xdgOpenExit));
        QSignalSpy ended(w.findChild<DesktopOpener*>(), &DesktopOpener::ended);
        ModalAnswerer answer;
        control<QAbstractButton>(w, button)->click();
        QVERIFY(openerEnded(ended, 1));
        QCOMPARE(desktop.calls(), xdgOpenExit < 0 ? QStringList() : QStringList{path});
        if (failure.isEmpty()) {
            QVERIFY2(answer.texts().isEmpty(), qPrintable(answer.texts().join(" | ")));
        } else {
            QCOMPARE(answer.texts().size(), 1);
            const QStringList lines = answer.texts().first().split(u'\n');
            QCOMPARE(lines.size(), 3);
            QCOMPARE(lines[0], failure);
            QCOMPARE(lines[1], path);
            QVERIFY2(lines[2].startsWith(reason), qPrintable(lines[2]));
            QCOMPARE(answer.boxes().first().title, QStringLiteral("Watermark Image"));
            QCOMPARE(answer.boxes().first().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        }
        // xdg-open has been reaped, whatever its end.
        QCOMPARE(childStates(), QString());
    }
    QFile::remove(guide);
}

void MainWindowTest::userGuideOnEveryClick() {
    // The build puts the guide into the program folder.
    QVERIFY(QFile::exists(QStringLiteral(WM_PROGRAM_DIR "/user-guide.html")));

    // Here the program folder is the test's own; the guide is put there and
    // taken away again.
    const QString guide = programFolder() + QStringLiteral("/user-guide.html");
    QFile::remove(guide);
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    FakeXdgOpen desktop(0);
    QSignalSpy ended(w.findChild<DesktopOpener*>(), &DesktopOpener::ended);
    {
        ModalAnswerer answer;
        QTest::mouseClick(control<QAbstractButton>(w, "User guide"), Qt::LeftButton, {}, QPoint(60, 20));
        QCOMPARE(answer.texts().size(), 1);
        QVERIFY(answer.texts().first().startsWith(QStringLiteral("The user guide is missing")));
        QVERIFY(desktop.calls().isEmpty());
        QVERIFY(ended.isEmpty());
    }
    QVERIFY(QFile::copy(QStringLiteral(WM_SOURCE_DIR "/docs/user-guide.html"), guide));
    ModalAnswerer answer;
    QTest::mouseClick(control<QAbstractButton>(w, "User guide"), Qt::LeftButton, {}, QPoint(60, 20));
    QTest::mouseClick(control<QAbstractButton>(w, "User guide"), Qt::LeftButton, {}, QPoint(100, 30));
    QVERIFY(openerEnded(ended, 2));
    QFile::remove(guide);
    QCOMPARE(desktop.calls(), (QStringList{guide, guide}));
    QVERIFY(answer.boxes().isEmpty());
}

void MainWindowTest::aWaitingXdgOpenNeitherHoldsTheWindowNorOutlivesIt() {
    // This xdg-open waits for good: the click has returned all the same.
    FakeXdgOpen desktop(0, true);
    ModalAnswerer answer;
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QSignalSpy ended(w.findChild<DesktopOpener*>(), &DesktopOpener::ended);
        control<UserButton>(w, "Open Video Folder")->click();
        QTRY_COMPARE(desktop.calls(), QStringList{outputFolder()});
        QVERIFY(ended.isEmpty());
        QCOMPARE(childStates().size(), 1);
    }
    // The window went first: its xdg-open was ended and reaped, quietly.
    QCOMPARE(childStates(), QString());
    QVERIFY(answer.boxes().isEmpty());
}

void MainWindowTest::dialogsOpenInTheUsersFoldersThenInTheLastChosen() {
    // The names main.cpp gives; the settings go to this test's config folder.
    const QString testName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("Watermark Image"));
    const QString settingsFile = testConfigFolder() + QStringLiteral("/Watermark Image/Watermark Image.conf");
    QFile::remove(settingsFile);
    // The user's videos and pictures folders, as the XDG folder names give them.
    QTemporaryDir home;
    const QString videos = home.filePath(QStringLiteral("Films"));
    const QString pictures = home.filePath(QStringLiteral("Photos"));
    const QString clips = home.filePath(QStringLiteral("clips"));
    const QString logos = home.filePath(QStringLiteral("logos"));
    for (const QString& folder : {videos, pictures, clips, logos})
        QVERIFY(QDir().mkpath(folder));
    QFile names(testConfigFolder() + QStringLiteral("/user-dirs.dirs"));
    const QByteArray userNames = names.open(QIODevice::ReadOnly) ? names.readAll() : QByteArray();
    names.close();
    QVERIFY(names.open(QIODevice::WriteOnly | QIODevice::Truncate));
    names.write(
        QStringLiteral("XDG_VIDEOS_DIR=\"%1\"\nXDG_PICTURES_DIR=\"%2\"\n").arg(videos, pictures).toUtf8());
    names.close();

    // Each dialog notes the folder it opens in and answers `next` ("": cancel).
    QStringList opened;
    QString next;
    OpenFileDialog::setAnswer([&](const OpenFileDialog& dialog) {
        opened << dialog.folder();
        return next;
    });
    ModalAnswerer answer;  // a cancelled first video choice asks for one
    auto chooseBoth = [&](const MainWindow& w, const QString& video, const QString& picture) {
        next = video;
        control<UserButton>(w, "Video Selection")->click();
        next = picture;
        control<UserButton>(w, "Image Selection")->click();
    };
    {
        MainWindow w;
        chooseBoth(w, QString(), QString());
        chooseBoth(w, clips + QStringLiteral("/holiday.avi"), logos + QStringLiteral("/mark.png"));
        chooseBoth(w, QString(), QString());
        QCOMPARE(opened, (QStringList{videos, pictures, videos, pictures, clips, logos}));
    }
    // The next run starts where the last one chose, from the settings file.
    QFile settings(settingsFile);
    QVERIFY(settings.open(QIODevice::ReadOnly));
    const QByteArray kept = settings.readAll();
    QVERIFY2(kept.contains(QFile::encodeName(clips)) && kept.contains(QFile::encodeName(logos)),
             kept.constData());
    opened.clear();
    {
        MainWindow w;
        chooseBoth(w, QString(), QString());
        QCOMPARE(opened, (QStringList{clips, logos}));
    }
    // A folder that is gone gives way to the user's folder.
    QVERIFY(QDir(clips).removeRecursively());
    opened.clear();
    {
        MainWindow w;
        chooseBoth(w, QString(), QString());
        QCOMPARE(opened, (QStringList{videos, logos}));
    }

    QVERIFY(names.open(QIODevice::WriteOnly | QIODevice::Truncate));
    names.write(userNames);
    names.close();
    QCoreApplication::setApplicationName(testName);
}

void MainWindowTest::screenshotWithPicture() {
    // A sample watermark: a badge with a word on a warm gradient.
    QImage sample(200, 120, QImage::Format_RGB32);
    {
        QPainter p(&sample);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient g(0, 0, 200, 120);
        g.setColorAt(0, QColor(250, 170, 60));
        g.setColorAt(1, QColor(200, 60, 90));
        p.fillRect(sample.rect(), g);
        p.setPen(QPen(Qt::white, 4));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(14, 14, 92, 92));
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPixelSize(30);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(0, 0, 200, 120), Qt::AlignCenter, QStringLiteral("SAMPLE"));
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sample.jpg"));
    QVERIFY(fixtures::save(sample, path, "JPG"));

    const std::unique_ptr<MainWindow> program = buildProgram();
    MainWindow& w = *program;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // What a probe of a video would have filled in.
    control<QLabel>(w, "Title")->setText(QStringLiteral("holiday.avi"));
    control<QPlainTextEdit>(w, "Path")->setPlainText(QStringLiteral("/home/user/Videos/holiday.avi"));
    control<QLabel>(w, "Resolution")->setText(QStringLiteral("640 x 480"));
    control<QLabel>(w, "Duration")->setText(QStringLiteral("00:02:41.36"));

    OpenFileDialog::setAnswer([&](const OpenFileDialog&) { return path; });
    ModalAnswerer answer;
    QTest::mouseClick(control<UserButton>(w, "Image Selection"), Qt::LeftButton);
    control<QSlider>(w, "Picture zoom")->setFocus();
    control<QSlider>(w, "Picture zoom")->setValue(75);
    QVERIFY(answer.boxes().isEmpty());
    QCOMPARE(control<PictureBox>(w, "Preview")->size(), QSize(150, 90));

    const QString shot = QStringLiteral(WM_TEST_BIN_DIR "/main-window.png");
    QVERIFY(w.grab().save(shot, "PNG"));
    qInfo("screenshot: %s", qPrintable(shot));
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
