// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"
#include "app/windowset.h"
#include "frame/settingsstore.h"
#include "platform/allocator.h"

int main(int argc, char **argv)
{
    morvane::platform::useOneAllocatorArena();
    morvane::Application app(argc, argv);
    morvane::WindowSet windows(morvane::SettingsStore::defaultPath());
    QObject::connect(&windows, &morvane::WindowSet::ended, &app, [] {
        QCoreApplication::exit(0);
    });
    windows.show();
    return QApplication::exec();
}
