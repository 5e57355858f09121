// SPDX-License-Identifier: GPL-3.0-or-later
// Repaint time of the file list while it scrolls, in the main window (offscreen unless a display
// is set): after the list is built for DIR at the box size asked for, the list scrolls one
// screen at a time from top to bottom, and each screen is repainted at once (its boxes drawn
// from their compact forms); then the same screen is repainted again with its boxes already
// drawn (the floor: the paint alone). Prints the median and 95th percentile of each in ms.
//   thumbs-repaint DIR [--size 32|48|64|96|128|256|320] [--rounds N]
#include "browser/filelistmodel.h"
#include "browser/tfmain.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(at, v.size() - 1)];
}

double repaintMs(QWidget *viewport)
{
    QElapsedTimer timer;
    timer.start();
    viewport->repaint();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr
        && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QString dir;
    int size = 320;
    int rounds = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc)
            size = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (dir.isEmpty())
            dir = QString::fromLocal8Bit(argv[i]);
    }
    if (dir.isEmpty()) {
        std::fputs("usage: thumbs-repaint DIR [--size N] [--rounds N]\n", stderr);
        return 2;
    }
    QTemporaryDir settings;
    if (!settings.isValid())
        return 1;
    morvane::TfMain window(settings.filePath(QStringLiteral("morvane.ini")), dir);
    window.resize(1920, 1080); // a full screen of boxes
    window.show();
    QApplication::processEvents();
    QAction *sizeItem = nullptr;
    for (QAction *a : window.SizeItems) {
        if (a->data().toInt() == size)
            sizeItem = a;
    }
    if (sizeItem == nullptr) {
        std::fprintf(stderr, "thumbs-repaint: no box size %d\n", size);
        return 2;
    }
    sizeItem->trigger(); // rebuilds the list at that size
    QApplication::processEvents();
    QListView *list = window.ListView1;
    QWidget *viewport = list->viewport();
    QScrollBar *bar = list->verticalScrollBar();
    std::vector<double> fresh;
    std::vector<double> again;
    for (int round = 0; round < rounds; ++round) {
        list->setUpdatesEnabled(false);
        bar->setValue(0);
        QApplication::processEvents();
        list->setUpdatesEnabled(true);
        for (;;) {
            fresh.push_back(repaintMs(viewport));
            again.push_back(repaintMs(viewport));
            if (bar->value() >= bar->maximum())
                break;
            // The view lays itself out at the new position without painting, so the next
            // repaint is the first to draw the new screen's boxes.
            list->setUpdatesEnabled(false);
            bar->setValue(bar->value() + bar->pageStep());
            QApplication::processEvents();
            list->setUpdatesEnabled(true);
        }
    }
    const int boxes = static_cast<int>(viewport->width() / list->gridSize().width())
        * (viewport->height() / list->gridSize().height() + 1);
    std::printf("list of %d files at box %d, about %d boxes a screen, %zu screens\n",
        window.listModel()->count(),
        size,
        boxes,
        fresh.size());
    std::printf("repaint of a scrolled screen: median %.2f ms, p95 %.2f ms; same screen again: "
                "median %.2f ms, p95 %.2f ms (target <= 16 ms)\n",
        percentile(fresh, 0.5),
        percentile(fresh, 0.95),
        percentile(again, 0.5),
        percentile(again, 0.95));
    window.hide();
    return 0;
}
