// Times the mark's own work beside a peer in the same run:
//  - choosing a large picture: loading a 4000 x 3000 JPEG and making the
//    preview from it (goal under 300 ms), against loading it alone;
//  - the mask for a rotated 1080p video: making the upright mask and turning
//    it for the coded frame (the turn's share of Start, goal under 50 ms),
//    against the same mask for an upright video;
//  - a text mark drawn as wide as a 4K frame (goal under 50 ms), against
//    scaling its drawing at 100 % up to that size, and the same text at a
//    fifth of that width.
//   mark_bench <work folder> [rounds]
#include "mark/mark_mask.h"
#include "mark/picture_loader.h"
#include "mark/placement.h"
#include "mark/scale.h"
#include "mark/text_mark.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

template <typename Work>
double bestMs(int rounds, Work&& work) {
    double best = 1e30;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

// The same in processor time, which other work on a shared machine disturbs less.
template <typename Work>
double bestCpuMs(int rounds, Work&& work) {
    double best = 1e30;
    for (int i = 0; i < rounds; ++i) {
        timespec from{}, to{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &from);
        work();
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &to);
        best = std::min(best, (to.tv_sec - from.tv_sec) * 1e3 + (to.tv_nsec - from.tv_nsec) / 1e6);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: mark_bench <work folder> [rounds]\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    QImage photo(4000, 3000, QImage::Format_RGB32);
    {
        QPainter p(&photo);
        QLinearGradient g(0, 0, 4000, 3000);
        g.setColorAt(0, Qt::darkBlue);
        g.setColorAt(1, Qt::yellow);
        p.fillRect(photo.rect(), g);
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 300));
        p.drawText(photo.rect(), Qt::AlignCenter, QStringLiteral("Northwind"));
    }
    const QString jpeg = dir + QStringLiteral("/photo4000.jpg");
    photo.save(jpeg, "JPEG", 90);

    const double loadOnly = bestMs(rounds, [&] { (void)picture::load(jpeg); });
    const double preview = bestMs(rounds, [&] {
        const QImage picture = picture::load(jpeg);
        const QSize shown = zoom::fittedIn(zoom::zoomedSize(picture.size(), 100), QSize(240, 240));
        (void)laidMark(picture, shown);
    });
    std::printf("4000x3000 JPEG: load alone %.1f ms, load and preview %.1f ms (goal < 300 ms)\n", loadOnly,
                preview);

    QImage logo(606, 179, QImage::Format_ARGB32);
    logo.fill(QColor(20, 20, 20, 200));
    Placement placement;
    placement.setPicture(logo);
    placement.setWidthShare(0.2);
    placement.moveTo(Anchor::BottomRight, 0.03);
    const QSize upright(1080, 1920);
    const MarkRect r = placement.rectIn(upright);
    const QImage laid = laidMark(logo, r.rect.size());
    const double plain = bestMs(rounds, [&] { (void)makeMask(laid, r.rect, upright, Qt::magenta, 100, {}); });
    const double turned = bestMs(rounds, [&] {
        (void)makeMask(laid, r.rect, upright, Qt::magenta, 100, {1, false});
    });
    std::printf(
        "1080x1920 mask: upright %.1f ms, turned for a 90-degree video %.1f ms (turn adds %.1f ms, goal < 50 "
        "ms)\n",
        plain, turned, turned - plain);

    TextMark text;
    text.text = QStringLiteral("© harbour walk 2021-03-04");
    text.family = QStringLiteral("DejaVu Sans");
    text.pixelSize = 48;
    text.edge = TextMark::Edge::Outline;
    const QSize natural = textMarkSize(text);
    const QSize wide(3840, natural.height() * 3840 / natural.width());
    const QSize fifth = wide / 5;
    const double measure = bestMs(rounds, [&] { (void)textMarkSize(text); });
    const QImage ownSize = drawTextMark(text, natural);
    std::printf(
        "text %dx%d, its size at 100 %% %dx%d (measured in %.2f ms); best of %d, elapsed / processor ms:\n",
        wide.width(), wide.height(), natural.width(), natural.height(), measure, rounds);
    for (const TextMark::Edge edge :
         {TextMark::Edge::Outline, TextMark::Edge::Shadow, TextMark::Edge::None}) {
        TextMark drawn = text;
        drawn.edge = edge;
        const auto draw = [&] {
            (void)drawTextMark(drawn, wide);
        };
        const auto drawFifth = [&] {
            (void)drawTextMark(drawn, fifth);
        };
        std::printf("  edge %-7s drawn %dx%d %.1f / %.1f (goal < 50), at %dx%d %.1f / %.1f\n", edgeName(edge),
                    wide.width(), wide.height(), bestMs(rounds, draw), bestCpuMs(rounds, draw), fifth.width(),
                    fifth.height(), bestMs(rounds, drawFifth), bestCpuMs(rounds, drawFifth));
    }
    const auto scale = [&] {
        (void)laidMark(ownSize, wide);
    };
    std::printf("  peer: its 100 %% drawing scaled up to %dx%d %.1f / %.1f\n", wide.width(), wide.height(),
                bestMs(rounds, scale), bestCpuMs(rounds, scale));
    return 0;
}
