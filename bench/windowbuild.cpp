// SPDX-License-Identifier: GPL-3.0-or-later
// The list build as the main window runs it, shown on screen (offscreen unless a display is
// set): sorted inserts into the list model, the view's layout and its repaints with "UpDate"
// checked, or one paint at the end with it unchecked. Prints the wall time of each rebuild.
//   thumbs-windowbuild DIR [--rounds N]
#include "browser/filelistmodel.h"
#include "browser/tfmain.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr
        && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QString dir;
    int rounds = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (dir.isEmpty())
            dir = QString::fromLocal8Bit(argv[i]);
    }
    if (dir.isEmpty()) {
        std::fputs("usage: thumbs-windowbuild DIR [--rounds N]\n", stderr);
        return 2;
    }
    // A settings file of its own, so the design settings apply and nothing is saved.
    QTemporaryDir settings;
    if (!settings.isValid())
        return 1;
    // The folder is the tree's top node, so the window lists it as it opens.
    morvane::TfMain window(settings.filePath(QStringLiteral("morvane.ini")), dir);
    window.show();
    QApplication::processEvents();
    for (int round = 0; round < rounds; ++round) {
        for (const bool repaintEach : {true, false}) {
            window.UpDate1->setChecked(repaintEach);
            QElapsedTimer timer;
            timer.start();
            window.actRenew->trigger();
            // The build returns with the last items still to be painted.
            window.ListView1->viewport()->repaint();
            const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
            std::printf("UpDate %s: %d files, wall time: %.3f s\n",
                repaintEach ? "on " : "off",
                window.listModel()->count(),
                seconds);
        }
    }
    window.hide();
    return 0;
}
