// The canvas draws the mark as the proof frame shows it: its own colours over an SDR frame, and
// over an HDR frame at the brightness it will have there (rules::shownOnSdr, 244 for white).
#include "positioning/mark_canvas.h"

#include <QtTest>

class MarkCanvasTest : public QObject {
    Q_OBJECT
private slots:
    void drawsTheMarkAsTheVideosLightShowsIt() {
        QImage logo(20, 10, QImage::Format_ARGB32);
        logo.fill(Qt::white);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                logo.setPixel(x, y, qRgb(255, 0, 0));
        MarkCanvas canvas;
        canvas.setKeyColour(QColor(0, 0, 255), false);
        canvas.setView(QSize(100, 50), 1.0, QSize(100, 50));
        Placement p;
        p.setPicture(logo);
        p.moveTo(Anchor::TopLeft, 0);
        p.setPixelWidth(20, 100);
        canvas.setPlacement(p);
        canvas.setMarkShown(true);
        const auto drawn = [&canvas](int x, int y) {
            return canvas.grab().toImage().pixelColor(x, y);
        };

        QCOMPARE(drawn(15, 5), QColor(255, 255, 255));
        QCOMPARE(drawn(5, 5), QColor(255, 0, 0));
        for (rules::Transfer hdr : {rules::Transfer::Hlg, rules::Transfer::Pq}) {
            canvas.setTransfer(hdr);
            QCOMPARE(drawn(15, 5), QColor(244, 244, 244));
            QCOMPARE(drawn(5, 5), QColor(244, 0, 0));
            QCOMPARE(drawn(50, 30), QColor(0, 0, 255));  // the background is not the mark's
        }
        canvas.setTransfer(rules::Transfer::Sdr);
        QCOMPARE(drawn(15, 5), QColor(255, 255, 255));
    }
};

QTEST_MAIN(MarkCanvasTest)
#include "mark_canvas_test.moc"
