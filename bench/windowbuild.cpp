// SPDX-License-Identifier: GPL-3.0-or-later
// The list build as the main window runs it, shown on screen (offscreen unless a display is
// set): sorted inserts into the list model, the view's layout and its repaints with "UpDate"
// checked, or one paint at the end with it unchecked. Prints the wall time of each rebuild.
//   thumbs-windowbuild DIR [--rounds N]
// With --live, each round builds DIR with 更新 (every picture decoded, none read from the
// cache) at box 128 twice: the blocking build, then the live one, and prints for the live one
// the time to the full list of items, to the first screen of thumbnails drawn and to the last
// box, the total against the blocking build's, and the 95th percentile of the latency of input
// events posted every 5 ms during each build; the last line gives the medians of the rounds.
//   thumbs-windowbuild DIR --live [--rounds N]
#include "browser/filelistmodel.h"
#include "browser/tfmain.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QListView>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

double percentile95(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, (v.size() * 95) / 100)];
}

const QEvent::Type kProbe = static_cast<QEvent::Type>(QEvent::registerEventType());

// Input while a build runs: a thread posts an event every 5 ms; the UI thread, when it gets to
// it, hands a mouse move to the list (as the pointer moving over it) and records how long the
// event waited, handling included.
class InputProbe : public QObject
{
public:
    explicit InputProbe(QWidget *target)
        : m_target(target)
    {}

    void start()
    {
        m_latencies.clear();
        m_running = true;
        m_poster = std::thread([this] {
            while (m_running) {
                {
                    const std::lock_guard lock(m_mutex);
                    m_posted.push_back(Clock::now());
                }
                QCoreApplication::postEvent(this, new QEvent(kProbe));
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    // Stops posting and takes the events still queued; the latencies in ms.
    std::vector<double> stop()
    {
        m_running = false;
        m_poster.join();
        QCoreApplication::sendPostedEvents(this, kProbe);
        return m_latencies;
    }

protected:
    bool event(QEvent *e) override
    {
        if (e->type() != kProbe)
            return QObject::event(e);
        const QPointF at(10 + static_cast<double>(m_latencies.size() % 200), 40);
        QMouseEvent move(QEvent::MouseMove, at, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(m_target, &move);
        Clock::time_point posted;
        {
            const std::lock_guard lock(m_mutex);
            posted = m_posted.front();
            m_posted.pop_front();
        }
        m_latencies.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - posted).count());
        return true;
    }

private:
    QWidget *m_target;
    std::thread m_poster;
    std::atomic<bool> m_running {false};
    std::mutex m_mutex;
    std::deque<Clock::time_point> m_posted;
    std::vector<double> m_latencies;
};

// True when every item on screen has its box: a picture's size is known, or it is another file.
bool screenFilled(const morvane::TfMain &w)
{
    const morvane::FileListModel &m = *w.listModel();
    const QRect screen = w.ListView1->viewport()->rect();
    for (int row = 0; row < m.count(); ++row) {
        const QRect r = w.ListView1->visualRect(m.index(row));
        if (r.top() >= screen.bottom())
            break;
        if (r.intersects(screen) && m.entry(row).isPicture()
            && m.entry(row).record.value(morvane::WidthField).isEmpty())
            return false;
    }
    return true;
}

struct LiveRound
{
    double blocking = 0, blockingP95 = 0;
    double list = 0, firstScreen = 0, total = 0, liveP95 = 0;
    int files = 0;
};

LiveRound liveRound(morvane::TfMain &window, InputProbe &probe)
{
    LiveRound r;
    QWidget *viewport = window.ListView1->viewport();
    window.setLiveBuild(false);
    QElapsedTimer timer;
    probe.start();
    timer.start();
    window.actRenew->trigger();
    viewport->repaint();
    r.blocking = secondsSince(timer);
    r.blockingP95 = percentile95(probe.stop());

    window.setLiveBuild(true);
    probe.start();
    timer.start();
    window.actRenew->trigger();
    r.list = secondsSince(timer);
    r.files = window.listModel()->count();
    while (window.isFilling()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (r.firstScreen == 0 && screenFilled(window)) {
            viewport->repaint();
            r.firstScreen = secondsSince(timer);
        }
    }
    viewport->repaint();
    r.total = secondsSince(timer);
    if (r.firstScreen == 0)
        r.firstScreen = r.total;
    r.liveP95 = percentile95(probe.stop());
    return r;
}

void runLive(morvane::TfMain &window, int rounds)
{
    for (QAction *a : window.SizeItems) {
        if (a->data().toInt() == 128)
            a->setChecked(true);
    }
    window.UpDate1->setChecked(true);
    InputProbe probe(window.ListView1->viewport());
    std::vector<double> list, first, total, ratio, p95, blockingP95;
    for (int round = 0; round < rounds; ++round) {
        const LiveRound r = liveRound(window, probe);
        std::printf("%d files: blocking %.3f s (input p95 %.0f ms); live: list %.3f s, first "
                    "screen %.3f s, total %.3f s (ratio %.3f), input p95 %.1f ms\n",
            r.files,
            r.blocking,
            r.blockingP95,
            r.list,
            r.firstScreen,
            r.total,
            r.total / r.blocking,
            r.liveP95);
        std::fflush(stdout);
        list.push_back(r.list);
        first.push_back(r.firstScreen);
        total.push_back(r.total);
        ratio.push_back(r.total / r.blocking);
        p95.push_back(r.liveP95);
        blockingP95.push_back(r.blockingP95);
    }
    std::printf("medians of %d rounds: list %.3f s (goal <= 0.3), first screen %.3f s (goal <= "
                "0.5), live/blocking %.3f (goal <= 1.05), input p95 %.1f ms (goal <= 50; "
                "blocking %.0f ms)\n",
        rounds,
        median(list),
        median(first),
        median(ratio),
        median(p95),
        median(blockingP95));
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
    int rounds = 3;
    bool live = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--live") == 0)
            live = true;
        else if (dir.isEmpty())
            dir = QString::fromLocal8Bit(argv[i]);
    }
    if (dir.isEmpty()) {
        std::fputs("usage: thumbs-windowbuild DIR [--live] [--rounds N]\n", stderr);
        return 2;
    }
    // A settings file and a thumbnail cache of its own, so the design settings apply, nothing
    // is saved and the user's cache is left alone.
    QTemporaryDir settings;
    if (!settings.isValid())
        return 1;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(settings.filePath(QStringLiteral("cache"))));
    // The folder is the tree's top node, so the window lists it as it opens.
    morvane::TfMain window(settings.filePath(QStringLiteral("morvane.ini")), dir);
    window.show();
    while (window.isFilling())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (live) {
        runLive(window, rounds);
        window.hide();
        return 0;
    }
    window.setLiveBuild(false); // the blocking build: every box drawn when the build returns
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
