#include "tests/support/video_fixtures.h"

#include <QProcess>

#include <sys/resource.h>

namespace fixtures {

QByteArray runProgram(const QString& program, const QStringList& args, int* exitCode) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    if (exitCode) *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}

bool makeVideo(const QString& path, const QString& size, double seconds, bool withSound) {
    QStringList args{QStringLiteral("-v"), QStringLiteral("error"),
                     QStringLiteral("-f"), QStringLiteral("lavfi"),
                     QStringLiteral("-i"), QStringLiteral("testsrc=size=%1:rate=25").arg(size)};
    if (withSound)
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:sample_rate=44100");
    args << QStringLiteral("-t") << QString::number(seconds) << QStringLiteral("-c:v")
         << QStringLiteral("mpeg4") << QStringLiteral("-q:v") << QStringLiteral("2");
    if (withSound) args << QStringLiteral("-c:a") << QStringLiteral("mp3");
    args << QStringLiteral("-y") << path;
    int rc = -1;
    runProgram(QStringLiteral("ffmpeg"), args, &rc);
    return rc == 0;
}

bool makeLosslessVideo(const QString& path, const QString& source, int frames) {
    int rc = -1;
    runProgram(QStringLiteral("ffmpeg"),
               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                QStringLiteral("-i"), source, QStringLiteral("-frames:v"), QString::number(frames),
                QStringLiteral("-c:v"), QStringLiteral("ffv1"), QStringLiteral("-pix_fmt"),
                QStringLiteral("bgr0"), QStringLiteral("-y"), path},
               &rc);
    return rc == 0;
}

QImage frameOf(const QString& video, int index, int w, int h) {
    const QByteArray raw = runProgram(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), video, QStringLiteral("-vf"),
         QStringLiteral("select=eq(n\\,%1)").arg(index), QStringLiteral("-frames:v"), QStringLiteral("1"),
         QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"),
         QStringLiteral("rgb24"), QStringLiteral("-")});
    if (raw.size() != w * h * 3) return {};
    return QImage(reinterpret_cast<const uchar*>(raw.constData()), w, h, w * 3, QImage::Format_RGB888).copy();
}

double durationOf(const QString& video) {
    const QByteArray out = runProgram(QStringLiteral("ffprobe"),
                                      {QStringLiteral("-v"), QStringLiteral("error"),
                                       QStringLiteral("-show_entries"), QStringLiteral("format=duration"),
                                       QStringLiteral("-of"), QStringLiteral("default=nw=1:nk=1"), video});
    bool ok = false;
    const double d = out.trimmed().toDouble(&ok);
    return ok ? d : -1;
}

double cpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

}  // namespace fixtures
