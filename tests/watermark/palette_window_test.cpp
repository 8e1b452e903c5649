// The palette window on real widgets (offscreen): its layout and swatches,
// and what its commands do to the mask colour, the preview swatch and the
// positioning window's canvas: only "Save Settings" changes the key, and
// only for the window that opened the palette.
#include "watermark/palette_window.h"
#include "app/picture_box.h"
#include "app/user_settings.h"
#include "mark/color_text.h"
#include "positioning/positioning_window.h"
#include "tests/support/own_encoder_name.h"
#include "tests/support/window_test_support.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

namespace {

// The program's key for the yellow mark below: a colour it does not use.
const QColor kProgramKey(255, 0, 255);

// The positioning window with a yellow watermark placed on a 64 x 48 frame,
// and its palette open.
PaletteWindow& openPalette() {
    QImage mark(10, 10, QImage::Format_RGB32);
    mark.fill(QColor(250, 240, 10));
    initializedWith(videoOfFrame(QSize(64, 48)), mark);
    PositioningWindow& form = *PositioningWindow::loaded();
    QTest::mousePress(control<MarkCanvas>(form, "Canvas"), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(control<QPushButton>(form, "Change Mask Color"), Qt::LeftButton);
    return *PaletteWindow::loaded();
}

}  // namespace

class PaletteWindowTest : public QObject {
    Q_OBJECT
private slots:
    // Each case starts from a program that remembers nothing.
    void init() { userSettings().clear(); }
    void cleanup() { QTRY_VERIFY(closeProgramWindows()); }

    void layout();
    void objectNamesStay();
    void swatches_data();
    void swatches();
    void commands_data();
    void commands();
    void aPaletteWhoseWindowClosedChangesNothing();
    void escapeClosesIt();
};

void PaletteWindowTest::layout() {
    PaletteWindow palette;
    palette.show();
    QVERIFY(QTest::qWaitForWindowExposed(&palette));
    QCOMPARE(palette.windowTitle(), QString("Palette Selection"));
    QCOMPARE(palette.size(), QSize(243, 309));  // 3645 x 4635 twips
    QCOMPARE(palette.minimumSize(), palette.maximumSize());
    QCOMPARE(palette.palette().color(QPalette::Window), QColor(128, 128, 128));
    QCOMPARE(control<QLabel>(palette, "Click on a box or define a custom color")->text(),
             QString("Click on a box or define a custom color"));
    QCOMPARE(control<QLabel>(palette, "Click on a box or define a custom color")->geometry(),
             QRect(8, 8, 233, 25));
    QCOMPARE(control<PictureBox>(palette, "Chosen colour")->geometry(), QRect(104, 192, 33, 33));
    QCOMPARE(control<PictureBox>(palette, "Chosen colour")->backColor(), QColor(Qt::black));
    QCOMPARE(control<QLineEdit>(palette, "RGB value")->geometry(), QRect(16, 200, 73, 19));
    QCOMPARE(control<QLineEdit>(palette, "RGB value")->text(), QString("RGB Value"));
    QCOMPARE(control<QPushButton>(palette, "Preview")->geometry(), QRect(152, 200, 65, 25));
    QCOMPARE(control<QPushButton>(palette, "Preview")->text(), QString("Preview"));
    QCOMPARE(control<QPushButton>(palette, "Restore Defaults")->geometry(), QRect(16, 232, 201, 25));
    QCOMPARE(control<QPushButton>(palette, "Restore Defaults")->text(), QString("Restore Defaults"));
    QCOMPARE(control<QPushButton>(palette, "Save Settings")->geometry(), QRect(16, 272, 201, 25));
    QCOMPARE(control<QPushButton>(palette, "Save Settings")->text(), QString("Save Settings"));
    QVERIFY(!palette.isModal());
}

// The short object names stay for what may look controls up by them.
void PaletteWindowTest::objectNamesStay() {
    PaletteWindow palette;
    QCOMPARE(palette.objectName(), QString("Form4"));
    const struct {
        const char* objectName;
        QWidget* control;
    } controls[] = {{"Label1", control<QLabel>(palette, "Click on a box or define a custom color")},
                    {"Picture1", control<PictureBox>(palette, "White")},
                    {"Picture12", control<PictureBox>(palette, "Black")},
                    {"Picture13", control<PictureBox>(palette, "Chosen colour")},
                    {"rgbval", control<QLineEdit>(palette, "RGB value")},
                    {"Command2", control<QPushButton>(palette, "Preview")},
                    {"Command3", control<QPushButton>(palette, "Restore Defaults")},
                    {"Command1", control<QPushButton>(palette, "Save Settings")}};
    for (const auto& c : controls)
        QCOMPARE(child<QWidget>(palette, c.objectName), c.control);
}

void PaletteWindowTest::swatches_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QString>("text");
    const int cols[] = {16, 72, 128, 184};  // 240, 1080, 1920, 2760 twips
    const int rows[] = {40, 88, 136};       // 600, 1320, 2040 twips
    const struct {
        const char* name;
        QColor color;
        const char* text;
    } want[] = {{"White", {255, 255, 255}, "ffffff"},     {"Pale green", {192, 255, 192}, "c0ffc0"},
                {"Pale blue", {192, 192, 255}, "c0c0ff"}, {"Pale magenta", {255, 192, 255}, "ffc0ff"},
                {"Red", {255, 0, 0}, "ff0000"},           {"Green", {0, 255, 0}, "00ff00"},
                {"Blue", {0, 0, 255}, "0000ff"},          {"Magenta", {255, 0, 255}, "ff00ff"},
                {"Dark grey", {64, 64, 64}, "404040"},    {"Navy", {0, 0, 128}, "000080"},
                {"Very dark blue", {0, 0, 64}, "000040"}, {"Black", {0, 0, 0}, "000000"}};
    for (int i = 0; i < 12; ++i)
        QTest::newRow(want[i].name) << QString(want[i].name) << QRect(cols[i % 4], rows[i / 4], 33, 33)
                                    << want[i].color << QString(want[i].text);
}

void PaletteWindowTest::swatches() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QColor, color);
    QFETCH(QString, text);

    PaletteWindow& palette = openPalette();
    PositioningWindow& form = *PositioningWindow::loaded();
    PictureBox* swatch = control<PictureBox>(palette, name);
    QCOMPARE(swatch->geometry(), geometry);
    QCOMPARE(swatch->backColor(), color);

    // A screen reader sees a named button it can press; the press is a click.
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(swatch);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::Button);
    QVERIFY(!iface->text(QAccessible::Name).isEmpty());
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(control<QLineEdit>(palette, "RGB value")->text(), text);
    QCOMPARE(control<PictureBox>(palette, "Chosen colour")->backColor(), color);
    // Only Save Settings changes the key.
    QCOMPARE(form.maskColour(), rrggbbOf(kProgramKey));
    QCOMPARE(control<MarkCanvas>(form, "Canvas")->backColor(), kProgramKey);

    // The mouse does the same.
    control<QPushButton>(palette, "Restore Defaults")->click();
    QTest::mousePress(swatch, Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(control<QLineEdit>(palette, "RGB value")->text(), text);
    control<QPushButton>(palette, "Save Settings")->click();
    QCOMPARE(form.maskColour(), text);
}

void PaletteWindowTest::commands_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("maskColour");
    QTest::addColumn<QString>("colourText");
    QTest::addColumn<QColor>("preview");
    QTest::addColumn<QColor>("canvas");  // invalid: unchanged, watermark still there
    QTest::addColumn<QStringList>("messages");

    const QString format = "Please use the RRGGBB format";
    const QColor none;
    const QColor black(0, 0, 0), blue(0, 0, 255), paleBlue(192, 192, 255), magenta = kProgramKey;
    // The palette opens on the key in use, the program's own.
    QTest::newRow("preview at once") << QStringList{"preview"} << "ff00ff"
                                     << "ff00ff" << magenta << none << QStringList{};
    QTest::newRow("preview lower case") << QStringList{"type c0c0ff", "preview"} << "ff00ff"
                                        << "c0c0ff" << paleBlue << none << QStringList{};
    QTest::newRow("preview upper case") << QStringList{"type C0C0FF", "preview"} << "ff00ff"
                                        << "C0C0FF" << paleBlue << none << QStringList{};
    QTest::newRow("preview five digits") << QStringList{"type c0c0f", "preview"} << "ff00ff"
                                         << "c0c0f" << magenta << none << QStringList{format};
    QTest::newRow("preview seven digits") << QStringList{"type C0C0FF0", "preview"} << "ff00ff"
                                          << "C0C0FF0" << magenta << none << QStringList{format};
    QTest::newRow("preview six, not hex") << QStringList{"type gg00zz", "preview"} << "ff00ff"
                                          << "gg00zz" << magenta << none << QStringList{format};
    QTest::newRow("bad text keeps the last preview")
        << QStringList{"swatch 3", "type GG00ZZ", "preview"} << "ff00ff"
        << "GG00ZZ" << paleBlue << none << QStringList{format};
    QTest::newRow("swatch without saving") << QStringList{"swatch 7"} << "ff00ff"
                                           << "0000ff" << blue << none << QStringList{};
    QTest::newRow("swatch and save") << QStringList{"swatch 7", "save"} << "0000ff"
                                     << "0000ff" << blue << blue << QStringList{};
    QTest::newRow("black swatch") << QStringList{"swatch 5", "swatch 12"} << "ff00ff"
                                  << "000000" << black << none << QStringList{};
    QTest::newRow("restore is the program's colour") << QStringList{"swatch 5", "restore"} << "ff00ff"
                                                     << "ff00ff" << magenta << none << QStringList{};
    QTest::newRow("restore keeps a saved canvas") << QStringList{"swatch 7", "save", "restore"} << "0000ff"
                                                  << "ff00ff" << magenta << blue << QStringList{};
    QTest::newRow("restore and save") << QStringList{"swatch 7", "save", "restore", "save"} << "ff00ff"
                                      << "ff00ff" << magenta << magenta << QStringList{};
    QTest::newRow("typed and saved") << QStringList{"type 123456", "preview", "save"} << "123456"
                                     << "123456" << QColor(0x12, 0x34, 0x56) << QColor(0x12, 0x34, 0x56)
                                     << QStringList{};
    QTest::newRow("reopen after a swatch") << QStringList{"swatch 5", "reopen"} << "ff00ff"
                                           << "ff00ff" << magenta << none << QStringList{};
    QTest::newRow("reopen after saving") << QStringList{"swatch 7", "save", "reopen"} << "0000ff"
                                         << "0000ff" << blue << blue << QStringList{};
}

void PaletteWindowTest::commands() {
    QFETCH(QStringList, steps);
    QFETCH(QString, maskColour);
    QFETCH(QString, colourText);
    QFETCH(QColor, preview);
    QFETCH(QColor, canvas);
    QFETCH(QStringList, messages);

    QPointer<PaletteWindow> palette = &openPalette();
    PositioningWindow& form = *PositioningWindow::loaded();
    const QRect placed = control<MarkCanvas>(form, "Canvas")->markRect().rect;
    ModalAnswerer answer;
    for (const QString& step : steps) {
        if (step.startsWith("swatch ")) {
            palette->chooseSwatch(step.mid(7).toInt() - 1);
        } else if (step.startsWith("type ")) {
            control<QLineEdit>(*palette, "RGB value")->setText(step.mid(5));
        } else if (step == "preview") {
            QTest::mouseClick(control<QPushButton>(*palette, "Preview"), Qt::LeftButton);
        } else if (step == "restore") {
            QTest::mouseClick(control<QPushButton>(*palette, "Restore Defaults"), Qt::LeftButton);
        } else if (step == "save") {
            QTest::mouseClick(control<QPushButton>(*palette, "Save Settings"), Qt::LeftButton);
            QVERIFY(palette->isVisible());  // stays open
        } else if (step == "reopen") {
            palette->close();
            QTRY_VERIFY(palette.isNull());
            QTest::mouseClick(control<QPushButton>(form, "Change Mask Color"), Qt::LeftButton);
            palette = PaletteWindow::loaded();
            QVERIFY(palette && palette->isVisible());
        }
    }
    QCOMPARE(answer.texts(), messages);
    QCOMPARE(form.maskColour(), maskColour);
    QCOMPARE(control<QLineEdit>(*palette, "RGB value")->text(), colourText);
    QCOMPARE(control<PictureBox>(*palette, "Chosen colour")->backColor(), preview);
    QCOMPARE(control<MarkCanvas>(form, "Canvas")->backColor(), canvas.isValid() ? canvas : kProgramKey);
    // A saved colour keeps the mark where it was placed.
    QVERIFY(control<MarkCanvas>(form, "Canvas")->hasPlacedMark());
    QCOMPARE(control<MarkCanvas>(form, "Canvas")->markRect().rect, placed);
}

void PaletteWindowTest::aPaletteWhoseWindowClosedChangesNothing() {
    // The palette outlives the positioning window that opened it; what it
    // saves then goes nowhere, and no window is loaded for it.
    PaletteWindow& palette = openPalette();
    PositioningWindow::loaded()->close();
    QCOMPARE(PositioningWindow::loaded(), nullptr);
    ModalAnswerer answer;
    palette.chooseSwatch(6);
    control<QPushButton>(palette, "Save Settings")->click();
    QCOMPARE(answer.texts(), QStringList{});
    QCOMPARE(PositioningWindow::loaded(), nullptr);
}

void PaletteWindowTest::escapeClosesIt() {
    QPointer<PaletteWindow> palette = &openPalette();
    QTest::keyClick(palette.data(), Qt::Key_Escape);
    QTRY_VERIFY(palette.isNull());
    QVERIFY(PositioningWindow::loaded());
}

QTEST_MAIN(PaletteWindowTest)
#include "palette_window_test.moc"
