// Draws the program's icon as PNG files for the desktop, at build time:
//   render_icon <folder> <name> <size>...
// writes <folder>/<size>x<size>/<name>.png for every size.
#include "app/artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: render_icon <folder> <name> <size>...\n");
        return 2;
    }
    for (const QString& sizeText : args.mid(3)) {
        bool ok = false;
        const int size = sizeText.toInt(&ok);
        if (!ok || size < 1 || size > 1024) {
            std::fprintf(stderr, "render_icon: not a size: %s\n", qPrintable(sizeText));
            return 2;
        }
        const QString folder = args[1] + QStringLiteral("/%1x%1").arg(size);
        const QString file = folder + u'/' + args[2] + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !artwork::iconImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
