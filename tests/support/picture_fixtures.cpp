#include "tests/support/picture_fixtures.h"

#include <QFile>
#include <QPainter>

namespace fixtures {

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QImage halves(int w, int h, const QColor& left, const QColor& right) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(right);
    QPainter p(&img);
    p.fillRect(0, 0, w / 2, h, left);
    p.fillRect(w - 1, 0, 1, h, Qt::white);
    return img;
}

bool save(const QImage& image, const QString& path, const char* format) {
    return image.save(path, format, 95);
}

namespace {

QList<QRgb> palette() {
    QList<QRgb> colours = {qRgb(0, 0, 0),   qRgb(255, 255, 255), qRgb(255, 0, 0),   qRgb(0, 255, 0),
                           qRgb(0, 0, 255), qRgb(255, 255, 0),   qRgb(0, 255, 255), qRgb(255, 0, 255)};
    while (colours.size() < 256) {
        const int g = int(colours.size() - 8);
        colours << qRgb(g, g, g);
    }
    return colours;
}

void le16(QByteArray& out, int v) {
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

// LZW data that never lets the code table grow past 9 bits: a clear code
// before every run of 250 pixels.
QByteArray lzw(const QImage& indexed) {
    QByteArray bytes;
    quint32 acc = 0;
    int bits = 0;
    auto put = [&](int code) {
        acc |= quint32(code) << bits;
        bits += 9;
        while (bits >= 8) {
            bytes.append(char(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    };
    int run = 0;
    for (int y = 0; y < indexed.height(); ++y) {
        const uchar* line = indexed.constScanLine(y);
        for (int x = 0; x < indexed.width(); ++x) {
            if (run == 0) put(256);
            put(line[x]);
            run = (run + 1) % 250;
        }
    }
    put(257);
    if (bits > 0) bytes.append(char(acc & 0xFF));

    QByteArray blocks;
    blocks.append(char(8));  // minimum code size
    for (qsizetype i = 0; i < bytes.size(); i += 255) {
        const QByteArray part = bytes.mid(i, 255);
        blocks.append(char(part.size()));
        blocks.append(part);
    }
    blocks.append(char(0));
    return blocks;
}

}  // namespace

bool writeGif(const QString& path, const QList<QImage>& frames) {
    if (frames.isEmpty()) return false;
    const QList<QRgb> colours = palette();
    const int w = frames.first().width();
    const int h = frames.first().height();
    QByteArray out("GIF89a");
    le16(out, w);
    le16(out, h);
    out.append(char(0xF7));  // global table of 256 colours
    out.append(char(0));
    out.append(char(0));
    for (QRgb c : colours) {
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    for (const QImage& frame : frames) {
        const QImage indexed = frame.convertToFormat(QImage::Format_Indexed8, colours, Qt::ThresholdDither);
        out.append("\x21\xF9\x04\x04", 4);  // graphic control: keep, 0.1 s
        le16(out, 10);
        out.append(char(0));
        out.append(char(0));
        out.append(char(0x2C));
        le16(out, 0);
        le16(out, 0);
        le16(out, w);
        le16(out, h);
        out.append(char(0));
        out.append(lzw(indexed));
    }
    out.append(char(0x3B));
    return writeBytes(path, out);
}

}  // namespace fixtures
