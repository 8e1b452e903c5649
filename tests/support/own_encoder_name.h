// For window tests that never run an encoder: the program's encoder gets a
// name that no process has, so nothing a window ends can be another test's.
#pragma once

#include "jobs/program_paths.h"

#include <unistd.h>

inline const bool kOwnEncoderName = [] {
    setEncoderNameForTesting(QStringLiteral("none%1.dll").arg(::getpid()));
    return true;
}();
