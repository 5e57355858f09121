// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/qttexts.h"

#include <QApplication>
#include <QTranslator>

namespace morvane {

// The application object. Its notify() turns a UserError (or any other exception) that escapes
// an event handler into the general error report, after which the event loop goes on. It names
// the application "Morvane" (the error report's caption) and sets the program's font, "ＭＳ Ｐ
// ゴシック" at 9 points, which the system offers through its substitutes IPAPGothic and Noto Sans
// CJK JP. Qt's own texts (the file dialog, the text boxes' context menu) come from Qt's Japanese
// catalogue when the system has it, in English otherwise. Exactly one instance, made on the UI
// thread before any window.
class Application : public QApplication
{
public:
    Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // The program's font and icon theme, also for tests that build windows on a plain
    // QApplication.
    static void applyLook();

private:
    QTranslator m_qtTexts;
    QtTextsJa m_ownTexts; // asked before m_qtTexts
};

} // namespace morvane
