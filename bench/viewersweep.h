// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSize>

class QString;

// Writes a frequency sweep chart of `chart` pixels, loads it as the viewer's fit mode does in a
// window of `client`, and prints the residual pattern of its fine half and the load's processor
// cost against the route before (`rounds` each). With a `picture` (a JPEG file), the cost is
// measured on it instead, and no chart is written. Returns the process's exit status.
int runSweep(QSize client, QSize chart, int rounds, const QString &picture);
