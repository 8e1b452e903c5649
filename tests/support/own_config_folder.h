// For window tests: the program's settings (the dialogs' last folders) go to
// a config folder of the test's own, never the user's. The user's XDG folder
// names are copied into it, so the videos and pictures folders stay where
// they were.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// The test's config folder, set as XDG_CONFIG_HOME before anything runs.
inline const QString& testConfigFolder() {
    static QTemporaryDir folder;
    // Without it the settings would go to the user's own folder.
    if (!folder.isValid()) qFatal("no config folder for the test: %s", qPrintable(folder.errorString()));
    static const QString path = folder.path();
    return path;
}

inline const bool kOwnConfigFolder = [] {
    QByteArray userConfig = qgetenv("XDG_CONFIG_HOME");
    if (userConfig.isEmpty()) userConfig = QFile::encodeName(QDir::homePath()) + "/.config";
    QFile::copy(QFile::decodeName(userConfig) + QStringLiteral("/user-dirs.dirs"),
                testConfigFolder() + QStringLiteral("/user-dirs.dirs"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(testConfigFolder()));
    return true;
}();
