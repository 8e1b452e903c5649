// What the positioning window remembers between windows and runs: where the
// mark goes, its opacity and the key colour the user picked, the margin and
// the audio option, the time range; the text of a text mark; and what a
// damaged settings file leaves alone.
#include "app/user_settings.h"
#include "positioning/positioning_window.h"
#include "tests/support/window_test_support.h"
#include "watermark/placement_settings.h"
#include "watermark/text_mark_settings.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

class RememberedTest : public QObject {
    Q_OBJECT
private slots:
    void init() { userSettings().clear(); }
    void cleanup() { QVERIFY(closeProgramWindows()); }
    void aDamagedFileChangesNothing_data();
    void aDamagedFileChangesNothing();
    void theNextWindowPicksUpWhereTheLastLeft();
    void theTextMarkAsWritten();
};

void RememberedTest::aDamagedFileChangesNothing_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("unknown anchor") << "mark/anchor" << QVariant("Nowhere");
    QTest::newRow("margin not a number") << "mark/marginX" << QVariant("nan");
    QTest::newRow("margin off the frame") << "mark/marginY" << QVariant(7.5);
    QTest::newRow("key not a colour") << "mark/keyColour" << QVariant("#12345");
    QTest::newRow("opacity not a number") << "mark/opacity" << QVariant("most");
}

void RememberedTest::aDamagedFileChangesNothing() {
    QFETCH(QString, key);
    QFETCH(QVariant, value);
    QTemporaryDir dir;
    QSettings settings(dir.filePath("s.ini"), QSettings::IniFormat);
    Placement saved;
    saved.moveTo(Anchor::BottomRight, 0.03);
    saved.setPickedKey(QColor(0, 0, 255));
    saved.setOpacity(40);
    savePlacement(settings, saved);
    Placement back;
    restorePlacement(settings, back);
    QCOMPARE(back, saved);

    settings.setValue(key, value);
    Placement fresh;
    restorePlacement(settings, fresh);
    // Only the damaged value's part stays as it was; a torn place is no place.
    if (key.startsWith("mark/anchor") || key.startsWith("mark/margin")) {
        QCOMPARE(fresh.anchor(), Anchor::TopLeft);
        QCOMPARE(fresh.marginX(), 0.0);
    } else {
        QCOMPARE(fresh.anchor(), Anchor::BottomRight);
    }
    QCOMPARE(fresh.pickedKey(), key == "mark/keyColour" ? std::nullopt : saved.pickedKey());
    QCOMPARE(fresh.opacity(), key == "mark/opacity" ? 100 : 40);
}

void RememberedTest::theNextWindowPicksUpWhereTheLastLeft() {
    const ChosenVideo video = videoOfFrame(QSize(320, 240));
    QImage logo(64, 16, QImage::Format_RGB32);
    logo.fill(Qt::red);
    PositioningWindow* form = &initializedWith(video, logo);
    control<QDoubleSpinBox>(*form, "Margin")->setValue(5);
    control<QToolButton>(*form, "Bottom right")->click();  // bottom right
    control<QSlider>(*form, "Opacity")->setValue(40);
    control<QCheckBox>(*form, "Enhance Audio quality (necessary for some videocameras output)")
        ->setChecked(true);
    QCOMPARE(control<QComboBox>(*form, "Output")->currentText(), QStringLiteral("Same as the source"));
    QCOMPARE(form->outputChoice(), OutputChoice::SameAsSource);
    control<QComboBox>(*form, "Output")->setCurrentIndex(1);
    form->setPickedKey(QColor(0, 0, 255));
    const QStringList times{"0:02", "6", "1.5"};
    for (const auto& [name, text] :
         {std::pair{"From", times[0]}, std::pair{"Until", times[1]}, std::pair{"Fade", times[2]}}) {
        auto* field = control<QLineEdit>(*form, name);
        field->setText(text);
        emit field->editingFinished();
    }
    const QRect placed = control<MarkCanvas>(*form, "Canvas")->markRect().rect;
    QVERIFY(closeProgramWindows());

    // A new window, as in the next run: the settings file says it all.
    form = &initializedWith(video, logo);
    QCOMPARE(form->placement().anchor(), Anchor::BottomRight);
    QCOMPARE(control<MarkCanvas>(*form, "Canvas")->markRect().rect, placed);
    QCOMPARE(control<QSlider>(*form, "Opacity")->value(), 40);
    QCOMPARE(form->maskColour(), QStringLiteral("0000ff"));
    QVERIFY(control<QCheckBox>(*form, "Enhance Audio quality (necessary for some videocameras output)")
                ->isChecked());
    QCOMPARE(control<QComboBox>(*form, "Output")->currentText(), QStringLiteral("MP4 to share"));
    QCOMPARE(form->outputChoice(), OutputChoice::Mp4ToShare);
    QCOMPARE(control<QDoubleSpinBox>(*form, "Margin")->value(), 5.0);
    QVERIFY(control<QToolButton>(*form, "Bottom right")->isChecked());
    QCOMPARE(
        QStringList({control<QLineEdit>(*form, "From")->text(), control<QLineEdit>(*form, "Until")->text(),
                     control<QLineEdit>(*form, "Fade")->text()}),
        times);
}

// The text mark as the user wrote it, tokens and all; a damaged value keeps the mark's own.
void RememberedTest::theTextMarkAsWritten() {
    QTemporaryDir dir;
    QSettings settings(dir.filePath("s.ini"), QSettings::IniFormat);
    QCOMPARE(restoreTextMark(settings), std::nullopt);
    TextMark mark;
    mark.text = QStringLiteral("© {name} {date}");
    mark.family = QStringLiteral("DejaVu Serif");
    mark.pixelSize = 72;
    mark.colour = QColor(250, 200, 0);
    mark.edge = TextMark::Edge::Shadow;
    saveTextMark(settings, mark);
    QCOMPARE(restoreTextMark(settings), mark);
    settings.setValue("text/pixelSize", 5000);
    settings.setValue("text/colour", "yellow");
    settings.setValue("text/edge", "Glow");
    const TextMark plain;
    const std::optional<TextMark> back = restoreTextMark(settings);
    QVERIFY(back);
    QCOMPARE(back->text, mark.text);
    QCOMPARE(back->pixelSize, plain.pixelSize);
    QCOMPARE(back->colour, plain.colour);
    QCOMPARE(back->edge, plain.edge);
}

QTEST_MAIN(RememberedTest)
#include "remembered_test.moc"
