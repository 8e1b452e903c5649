// The user's settings for the program, in the user's config folder: what the
// program remembers between windows and runs (the dialogs' last folders, the
// mark's place and looks, the audio option).
#pragma once

#include <QSettings>

QSettings userSettings();
