// The video files the program offers: the dialog's list, and what a folder
// handed to the queue or the headless command is searched for.
#pragma once

#include <QString>
#include <QStringList>

inline QStringList videoSuffixes() {
    return {QStringLiteral("avi"), QStringLiteral("mpg"),  QStringLiteral("mpeg"), QStringLiteral("divx"),
            QStringLiteral("wmv"), QStringLiteral("flv"),  QStringLiteral("mov"),  QStringLiteral("mp4"),
            QStringLiteral("m4v"), QStringLiteral("mkv"),  QStringLiteral("webm"), QStringLiteral("ts"),
            QStringLiteral("mts"), QStringLiteral("m2ts"), QStringLiteral("3gp"),  QStringLiteral("ogv")};
}

// "*.avi;*.mpg;…" as the file dialog takes it.
inline QString videoFilePattern() {
    QStringList patterns;
    for (const QString& s : videoSuffixes())
        patterns << QStringLiteral("*.") + s;
    return patterns.join(u';');
}
