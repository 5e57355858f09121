// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"

#include "frame/errorreport.h"

#include <QFont>
#include <QIcon>
#include <QLibraryInfo>

namespace morvane {

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // Only the name is set: a display name would be appended to every window caption by the
    // platform, and the display name falls back to the name for the error report's caption.
    setApplicationName(QStringLiteral("Morvane"));
    setApplicationVersion(QStringLiteral(MORVANE_VERSION));
    // The desktop matches windows to the menu entry of this name (on Wayland by the app id).
    setDesktopFileName(QStringLiteral(MORVANE_APP_ID));
    applyLook();
    // The interface is Japanese whatever the system's language; a missing catalogue leaves Qt's
    // texts in English and nothing else.
    if (m_qtTexts.load(
            QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(&m_qtTexts);
    // Installed last, asked first: the texts Qt's catalogue lacks, in the windows' spelling.
    installTranslator(&m_ownTexts);
    // From the icon theme once the program is installed; none in the build tree.
    setWindowIcon(QIcon::fromTheme(QStringLiteral(MORVANE_APP_ID)));
    // The program ends when the main window closes, not when the last visible window does: the
    // window set ends the event loop itself (see WindowSet).
    setQuitOnLastWindowClosed(false);
}

void Application::applyLook()
{
    const QString family = QStringLiteral("ＭＳ Ｐゴシック");
    QFont::insertSubstitutions(
        family, {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    QFont font(family);
    font.setPointSize(9);
    QApplication::setFont(font);
    // Without a desktop session the platform names no icon theme; the program's icons come from
    // the freedesktop theme that setup installs.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == u"hicolor")
        QIcon::setThemeName(QStringLiteral("Adwaita"));
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // Rethrown inside the one place that knows how each kind of error is reported; only the
        // failing event pays for it.
        reportErrors([] {
            throw;
        });
    }
    return false;
}

} // namespace morvane
