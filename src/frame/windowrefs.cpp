// SPDX-License-Identifier: GPL-3.0-or-later
#include "frame/windowrefs.h"

namespace morvane {

MainWindowBase *fMain = nullptr;
ViewerBase *fView = nullptr;
QWidget *fMoco = nullptr;
QWidget *fRene = nullptr;
OptionsBase *fOp = nullptr;
QDialog *AboutBox = nullptr;

} // namespace morvane
