// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"
#include "app/commandline.h"
#include "app/windowset.h"
#include "browser/tfmain.h"
#include "frame/errorreport.h"
#include "frame/settingsstore.h"
#include "platform/allocator.h"
#include "platform/dialogprompter.h"
#include "platform/renamerun.h"
#include "platform/undojournal.h"

#include <cstdio>

namespace {

int answer(const morvane::CommandLine &line)
{
    std::FILE *out = line.exitCode == 0 ? stdout : stderr;
    std::fputs(line.output.toLocal8Bit().constData(), out);
    return *line.exitCode;
}

} // namespace

int main(int argc, char **argv)
{
    morvane::platform::useOneAllocatorArena();
    // Help and version need no display: they are answered before the application object
    // connects to one.
    if (const auto info = morvane::parseInfoOptions(morvane::argumentBytes(argc, argv)))
        return answer(*info);
    morvane::Application app(argc, argv);
    // The application object has taken its own options (such as -platform) out of argv.
    const morvane::CommandLine line = morvane::parseCommandLine(morvane::argumentBytes(argc, argv));
    if (line.exitCode)
        return answer(line);

    morvane::WindowSet windows(morvane::SettingsStore::defaultPath());
    QObject::connect(&windows, &morvane::WindowSet::ended, &app, [] {
        QCoreApplication::exit(0);
    });
    windows.show();
    {
        // Rename runs that a crash or a kill interrupted end before the first list is built:
        // every file under its old or its new name.
        morvane::platform::DialogPrompter prompter(windows.main());
        morvane::platform::UndoJournal journal(morvane::platform::UndoJournal::defaultFolder());
        (void)morvane::platform::recoverRuns(prompter, journal);
    }
    const QString problem = windows.openStartPath(line.path);
    if (!problem.isEmpty()) {
        // Shown from the running event loop, over the main window as it started.
        QMetaObject::invokeMethod(
            &app,
            [&windows, problem] {
                morvane::showErrorReport(problem, windows.main());
            },
            Qt::QueuedConnection);
    }
    return QApplication::exec();
}
