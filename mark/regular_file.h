// A file the user names as a job or a picture is read only when it is a
// regular file of a sane size: a pipe would hang the read, a device or a folder
// would never end it or say something misleading.
#pragma once

#include "runner/unique_fd.h"

#include <QByteArray>
#include <QString>

#include <optional>

// `path` open for reading when it is a regular file of at most `maxBytes`;
// otherwise nothing and what keeps it from being read, in words that follow
// the path ("is a folder"). Never waits on a pipe.
UniqueFd openRegularFile(const QString& path, qint64 maxBytes, QString* why);

// The whole file, or nothing and the reason (as above, or the system's).
std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxBytes, QString* why);

// A picture file is at most this large.
inline constexpr qint64 kMaxPictureBytes = qint64(256) << 20;
