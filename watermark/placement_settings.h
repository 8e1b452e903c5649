// What of a Placement is remembered between windows and runs: where the mark
// goes (anchor and margins), the key colour the user picked and the opacity.
// The picture and its size are not: they come from the main window's choice.
#pragma once

#include "mark/placement.h"

class QSettings;

void savePlacement(QSettings& settings, const Placement& placement);
// Takes what was saved into `placement`; anything missing or unreadable
// keeps the placement's own value.
void restorePlacement(const QSettings& settings, Placement& placement);
