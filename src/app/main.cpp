// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"
#include "app/commandline.h"
#include "app/windowset.h"
#include "browser/tfmain.h"
#include "files/dialogprompter.h"
#include "files/renamerun.h"
#include "files/stopsignals.h"
#include "files/undojournal.h"
#include "frame/errorreport.h"
#include "frame/settingsstore.h"
#include "imaging/allocator.h"

#include <QSocketNotifier>

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
    morvane::imaging::useOneAllocatorArena();
    // Help and version need no display: they are answered before the application object
    // connects to one.
    if (const auto info = morvane::parseInfoOptions(morvane::argumentBytes(argc, argv)))
        return answer(*info);
    morvane::Application app(argc, argv);
    // The application object has taken its own options (such as -platform) out of argv.
    const morvane::CommandLine line = morvane::parseCommandLine(morvane::argumentBytes(argc, argv));
    if (line.exitCode)
        return answer(line);

    // SIGINT and SIGTERM close the windows as the user would. A copy in progress stops through
    // its progress dialog's cancel, leaving no temporary file, and the settings are saved; the
    // exit status then tells the signal.
    const morvane::files::StopSignals stop;
    QSocketNotifier stopped(stop.descriptor(), QSocketNotifier::Read);
    QObject::connect(&stopped, &QSocketNotifier::activated, &app, [&stopped] {
        stopped.setEnabled(false);
        QApplication::closeAllWindows();
    });

    morvane::WindowSet windows(morvane::SettingsStore::defaultPath());
    QObject::connect(&windows, &morvane::WindowSet::ended, &app, [] {
        QCoreApplication::exit(0);
    });
    windows.show();
    {
        // Rename runs that a crash or a kill interrupted end before the first list is built:
        // every file under its old or its new name.
        morvane::files::DialogPrompter prompter(windows.main());
        morvane::files::UndoJournal journal(morvane::files::UndoJournal::defaultFolder());
        (void)morvane::files::recoverRuns(prompter, journal);
    }
    // A folder or file on the command line wins over the folder of the last run.
    const QString problem = windows.openStart(line.path);
    if (!problem.isEmpty()) {
        // Shown from the running event loop, over the main window as it started.
        QMetaObject::invokeMethod(
            &app,
            [&windows, problem] {
                morvane::showErrorReport(problem, windows.main());
            },
            Qt::QueuedConnection);
    }
    const int status = QApplication::exec();
    return stop.received() != 0 ? 128 + stop.received() : status;
}
