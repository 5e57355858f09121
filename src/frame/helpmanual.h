// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace morvane {

// The help manual "morvane.html" of the program in the folder `programDir`: beside the program
// when it stands there (the build tree, a portable copy), otherwise in the program's data folder
// of an installation ("../share/morvane" from the program's folder for the standard layout).
// When neither exists, the installed place, so a message about the missing manual names where an
// installation puts it.
[[nodiscard]] QString helpManualPath(const QString &programDir);

} // namespace morvane
