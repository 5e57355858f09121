// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer as the user meets it, driven offscreen over the pictures of a folder (JPEG, BMP,
// ICO, in name order) in a window of the design client area (or --size WxH):
//   open     an open request to the first painted frame (the decode on the UI thread included)
//   decode   the full-size decode of the same file alone, in the same run
//   step     a forward key press with the prepared picture ready, to the painted frame
//   prepare  a forward key press to the next picture being prepared on the worker
//   need     the load a step of the mode needs, alone: at the size the mode draws the picture
// each in display modes 0 (1:1), 1 (fit), 2 (shrink only) and 3 (bonus), as median and 95th
// percentile, with the mode's peak memory; the open and prepare times also by kind of picture
// (megapixels, baseline or progressive). For the modes that scale, the drawn pixels are compared
// with a full decode smoothly scaled to the same size (mean and largest difference of a channel,
// in levels). The last line gives the worst mode's figures, the prepare time of the largest
// baseline JPEGs of the folder:
//   open_ratio=R step_p95_ms=X prepare_p95_ms=Y open_fit_ratio=F
// R = median open / median decode, F = median open in mode 1 / median decode.
// --shot OUT.png saves the window as mode 1 shows the folder's first picture.
// --sweep [--chart WxH] instead writes a frequency sweep test chart (default 4000x3000) and prints
// the fit mode's residual pattern on its fine half and the processor cost of the fit load against
// the route before it (see viewersweep.cpp); no DIR then, but a JPEG file may be named to measure
// the cost on it instead of the chart.
//   viewer-bench DIR [--rounds N] [--size WxH] [--modes 0123] [--shot OUT.png]
//   viewer-bench --sweep [--chart WxH] [--rounds N] [--size WxH] [JPEG]
#include "frame/windowrefs.h"
#include "imaging/imagedecode.h"
#include "viewer/fakemain.h"
#include "viewer/picturebox.h"
#include "viewer/pictureloader.h"
#include "viewer/tfview.h"
#include "viewersweep.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <vector>

namespace {

using morvane::TfView;

// Counts the picture box's paints, so a measurement ends when its frame has been drawn.
class PaintWatch : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

struct Stats
{
    double median = 0;
    double p95 = 0;
};

Stats stats(std::vector<double> ms)
{
    if (ms.empty())
        return {};
    std::sort(ms.begin(), ms.end());
    const auto at = [&ms](double q) {
        const auto i = static_cast<std::size_t>(q * static_cast<double>(ms.size() - 1) + 0.5);
        return ms[std::min(i, ms.size() - 1)];
    };
    return {at(0.5), at(0.95)};
}

double msSince(const QElapsedTimer &t)
{
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// CPU time of the calling thread: what the work itself costs, whatever else the machine runs.
double threadCpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Runs the event loop until `done` holds; the paint of a frame happens inside processEvents.
// Everything awaited arrives as an event (a paint request, a worker's result), so the loop sleeps
// between events instead of taking processor time from the worker.
void until(const std::function<bool()> &done)
{
    while (!done())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// "24 MP baseline": the picture's size in whole megapixels and, for a JPEG, whether its frame
// is progressive (an SOF2 marker before the first scan).
QString kindOf(const QByteArray &path, int width, int height)
{
    QString kind = QStringLiteral("%1 MP").arg(qRound(double(width) * height / 1e6));
    if (morvane::imaging::pictureFormatForName(path) != morvane::imaging::PictureFormat::Jpeg)
        return kind + QStringLiteral(" other");
    QFile f(QFile::decodeName(path));
    if (!f.open(QIODevice::ReadOnly))
        return kind;
    const QByteArray head = f.read(1 << 20);
    const qsizetype sos = head.indexOf("\xff\xda");
    const qsizetype sof2 = head.indexOf("\xff\xc2");
    const bool progressive = sof2 >= 0 && (sos < 0 || sof2 < sos);
    return kind + (progressive ? QStringLiteral(" progressive") : QStringLiteral(" baseline"));
}

// The process's peak resident memory so far, in MB (VmHWM of /proc/self/status).
long peakMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong() / 1024;
    }
    return -1;
}

// Starts the peak resident memory afresh (Linux: "5" to clear_refs), so each mode gets its own.
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Mean and largest difference of one channel between two pictures of the same size, in levels.
struct Difference
{
    double sum = 0;
    qint64 count = 0;
    int max = 0;
};

void compare(const QImage &drawn, const QImage &reference, Difference &d)
{
    const QImage a = drawn.convertToFormat(QImage::Format_RGB32);
    const QImage b = reference.convertToFormat(QImage::Format_RGB32);
    if (a.size() != b.size()) {
        d.max = 255;
        return;
    }
    for (int y = 0; y < a.height(); ++y) {
        const auto *pa = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *pb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            for (const int shift : {0, 8, 16}) {
                const int diff =
                    std::abs(int((pa[x] >> shift) & 0xFF) - int((pb[x] >> shift) & 0xFF));
                d.sum += diff;
                d.max = std::max(d.max, diff);
            }
            d.count += 3;
        }
    }
}

void print(const char *what, const Stats &s)
{
    std::printf("  %-8s median %8.2f ms   p95 %8.2f ms\n", what, s.median, s.p95);
}

} // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString dir;
    int rounds = 2;
    QSize client(632, 446);
    std::vector<int> modes {0, 1, 2, 3};
    QString shot;
    bool sweep = false;
    QSize chart(4000, 3000);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
            int w = 0, h = 0;
            if (std::sscanf(argv[++i], "%dx%d", &w, &h) == 2 && w > 0 && h > 0)
                client = QSize(w, h);
        } else if (std::strcmp(argv[i], "--sweep") == 0) {
            sweep = true;
        } else if (std::strcmp(argv[i], "--chart") == 0 && i + 1 < argc) {
            int w = 0, h = 0;
            if (std::sscanf(argv[++i], "%dx%d", &w, &h) == 2 && w > 0 && h > 0)
                chart = QSize(w, h);
        } else if (std::strcmp(argv[i], "--shot") == 0 && i + 1 < argc) {
            shot = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--modes") == 0 && i + 1 < argc) {
            modes.clear();
            for (const char *c = argv[++i]; *c != '\0'; ++c) {
                if (*c >= '0' && *c <= '3')
                    modes.push_back(*c - '0');
            }
        } else if (dir.isEmpty()) {
            dir = QString::fromLocal8Bit(argv[i]);
        }
    }
    if (sweep)
        return runSweep(client, chart, std::max(rounds, 5), dir);
    if (dir.isEmpty()) {
        std::fputs(
            "usage: viewer-bench DIR [--rounds N] [--size WxH] [--modes 0123] [--shot OUT.png]\n"
            "       viewer-bench --sweep [--chart WxH] [--rounds N] [--size WxH] [JPEG]\n",
            stderr);
        return 2;
    }

    // The picture list as the open command makes it, sizes read from the files themselves.
    morvane::test::FakeMain main;
    morvane::fMain = &main;
    std::vector<QByteArray> paths;
    std::vector<QString> kinds;
    std::vector<int> megapixels;
    const QFileInfoList entries = QDir(dir).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &fi : entries) {
        const QByteArray path = QFile::encodeName(fi.absoluteFilePath());
        const auto format = morvane::imaging::pictureFormatForName(path);
        const auto decoded = morvane::imaging::decodePictureFile(path, format, 3);
        if (decoded.status != morvane::imaging::DecodeStatus::Decoded)
            continue;
        const morvane::imaging::DecodedPicture *probe = &decoded.picture;
        main.PictureList << path << QByteArray::number(fi.size())
                         << QByteArray("2024/01/01 9:00:00") << QByteArray::number(probe->fullWidth)
                         << QByteArray::number(probe->fullHeight);
        paths.push_back(path);
        kinds.push_back(kindOf(path, probe->fullWidth, probe->fullHeight));
        megapixels.push_back(qRound(double(probe->fullWidth) * probe->fullHeight / 1e6));
    }
    // The kind whose prepare time the last line gives: the largest baseline JPEGs.
    QString headline;
    int headlineMp = -1;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (kinds[i].endsWith(QStringLiteral(" baseline")) && megapixels[i] > headlineMp) {
            headlineMp = megapixels[i];
            headline = kinds[i];
        }
    }
    if (paths.size() < 2) {
        std::fputs("viewer-bench: DIR needs at least two pictures\n", stderr);
        return 2;
    }

    QTemporaryDir settings;
    if (!settings.isValid())
        return 1;
    TfView view(settings.filePath(QStringLiteral("morvane.ini")));
    morvane::fView = &view;
    int beeps = 0;
    view.setBeeper([&beeps] {
        ++beeps;
    });
    int errors = 0;
    view.setErrorReporter([&errors](const QString &text) {
        ++errors;
        std::fprintf(stderr, "viewer-bench: %s\n", qPrintable(text));
    });
    view.resize(client);
    PaintWatch watch;
    view.Image1->installEventFilter(&watch);
    view.show();
    until([&view] {
        return view.isVisible();
    });
    auto idle = [&view] {
        until([&view] {
            return view.preparer().isIdle();
        });
    };

    std::vector<double> decodeMs, decodeCpuMs;
    std::map<QString, std::vector<double>> decodeByKind;
    for (int round = 0; round < rounds; ++round) {
        for (std::size_t p = 0; p < paths.size(); ++p) {
            const QByteArray &path = paths[p];
            QElapsedTimer t;
            t.start();
            const double cpu = threadCpuMs();
            const auto decoded = morvane::imaging::decodePictureFile(
                path, morvane::imaging::pictureFormatForName(path), 0);
            decodeCpuMs.push_back(threadCpuMs() - cpu);
            decodeMs.push_back(msSince(t));
            decodeByKind[kinds[p]].push_back(decodeMs.back());
            if (decoded.status != morvane::imaging::DecodeStatus::Decoded)
                ++errors;
        }
    }
    std::printf("viewer-bench: %zu pictures in %s, client %dx%d, %d rounds\n",
        paths.size(),
        qPrintable(dir),
        client.width(),
        client.height(),
        rounds);
    print("decode", stats(decodeMs));
    print("  cpu", stats(decodeCpuMs));
    std::printf("  peak memory after the decodes: %ld MB\n", peakMb());

    // What the user sees must be picture i and its caption, whatever the worker is doing.
    int wrong = 0;
    auto checkShown = [&](std::size_t i) {
        const QString name = QFileInfo(QFile::decodeName(paths[i])).fileName();
        const QString head = QStringLiteral("%1 / %2 ").arg(paths.size()).arg(i + 1);
        if (view.Image1->picturePath() != paths[i] || !view.windowTitle().startsWith(head)
            || !view.windowTitle().endsWith(name) || view.PictureIndex != int(5 * i))
            ++wrong;
    };

    Stats worst[3];
    double openRatio = 0;
    double openFitRatio = 0;
    for (const int mode : modes) {
        view.SizeItems[static_cast<std::size_t>(mode)]->trigger();
        // The pictures of the mode before are replaced and freed before this mode's peak starts.
        main.OpenRequested = true;
        view.OpenPath = paths.front();
        view.FormActivate();
        idle();
        QApplication::processEvents();
        QThreadPool::globalInstance()->waitForDone();
        resetPeak();
        std::vector<double> openMs, stepMs, prepareMs, openCpuMs, stepCpuMs, needMs;
        std::map<QString, std::vector<double>> prepareByKind, openByKind;
        std::vector<QSize> drawnSizes(paths.size());
        for (int round = 0; round < rounds; ++round) {
            for (std::size_t p = 0; p < paths.size(); ++p) {
                const QByteArray &path = paths[p];
                idle();
                const int before = watch.paints;
                QElapsedTimer t;
                t.start();
                const double cpu = threadCpuMs();
                main.OpenRequested = true;
                view.OpenPath = path;
                view.FormActivate();
                until([&] {
                    return watch.paints > before;
                });
                openCpuMs.push_back(threadCpuMs() - cpu);
                openMs.push_back(msSince(t));
                openByKind[kinds[p]].push_back(openMs.back());
                // The size a step of this mode draws the picture at; invalid when 1:1.
                const QSize drawn = view.Image1->drawnRect().size();
                drawnSizes[p] = drawn == view.Image1->naturalSize() ? QSize() : drawn;
            }
            // Steps from the first picture to the last, each with its picture prepared.
            main.OpenRequested = true;
            view.OpenPath = paths.front();
            view.FormActivate();
            for (std::size_t i = 1; i < paths.size(); ++i) {
                until([&] {
                    return view.preparer().isIdle() && view.Image2().path == paths[i];
                });
                const int before = watch.paints;
                QElapsedTimer t;
                t.start();
                const double cpu = threadCpuMs();
                QKeyEvent press(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
                QApplication::sendEvent(&view, &press);
                until([&] {
                    return watch.paints > before;
                });
                stepCpuMs.push_back(threadCpuMs() - cpu);
                stepMs.push_back(msSince(t));
                checkShown(i);
                if (i + 1 < paths.size()) {
                    until([&] {
                        return view.Image2().path == paths[i + 1];
                    });
                    prepareMs.push_back(msSince(t));
                    prepareByKind[kinds[i + 1]].push_back(prepareMs.back());
                }
            }
        }
        const long modePeak = peakMb();
        idle();
        // The load each step of this mode needs, alone, on the same pictures.
        for (int round = 0; round < rounds; ++round) {
            for (std::size_t p = 1; p < paths.size(); ++p) {
                QElapsedTimer t;
                t.start();
                const morvane::LoadedPicture loaded =
                    morvane::loadPictureFile(paths[p], drawnSizes[p]);
                needMs.push_back(msSince(t));
                if (!loaded.ok())
                    ++errors;
            }
        }
        const Stats open = stats(openMs), step = stats(stepMs), prepare = stats(prepareMs);
        const Stats need = stats(needMs);
        static const char *const names[] = {"1:1", "fit", "shrink only", "bonus"};
        std::printf("mode %d (%s):\n", mode, names[mode]);
        print("open", open);
        print("  cpu", stats(openCpuMs));
        print("step", step);
        print("  cpu", stats(stepCpuMs));
        print("prepare", prepare);
        print("need", need);
        std::printf("  prepare p95 / need p95: %.2f\n", prepare.p95 / std::max(1e-9, need.p95));
        std::printf("  peak memory in this mode: %ld MB\n", modePeak);
        for (const auto &[kind, ms] : openByKind) {
            const Stats k = stats(ms);
            std::printf("    open    %-22s median %8.2f ms   p95 %8.2f ms   / decode median %.2f\n",
                qPrintable(kind),
                k.median,
                k.p95,
                k.median / std::max(1e-9, stats(decodeByKind[kind]).median));
        }
        for (const auto &[kind, ms] : prepareByKind) {
            const Stats k = stats(ms);
            std::printf("    prepare %-22s median %8.2f ms   p95 %8.2f ms\n",
                qPrintable(kind),
                k.median,
                k.p95);
        }
        if (mode != 0) {
            // What the mode draws against a full decode smoothly scaled to the same size.
            Difference d;
            for (std::size_t p = 0; p < paths.size(); ++p) {
                if (!drawnSizes[p].isValid())
                    continue;
                main.OpenRequested = true;
                view.OpenPath = paths[p];
                view.FormActivate();
                idle();
                const QImage drawn = view.Image1->scaledPicture();
                const auto full = morvane::imaging::decodePictureFile(
                    paths[p], morvane::imaging::pictureFormatForName(paths[p]), 0);
                compare(drawn, morvane::smoothScaled(full.picture.image, drawnSizes[p]), d);
                if (p == 0 && mode == 1 && !shot.isEmpty() && !view.grab().save(shot))
                    ++errors;
            }
            std::printf("  drawn pixels against a full decode scaled: mean %.3f, max %d levels\n",
                d.count > 0 ? d.sum / double(d.count) : 0.0,
                d.max);
        }
        const double ratio = open.median / std::max(1e-9, stats(decodeMs).median);
        openRatio = std::max(openRatio, ratio);
        if (mode == 1)
            openFitRatio = ratio;
        worst[1].p95 = std::max(worst[1].p95, step.p95);
        const auto chosen = prepareByKind.find(headline);
        worst[2].p95 = std::max(
            worst[2].p95, chosen != prepareByKind.end() ? stats(chosen->second).p95 : prepare.p95);
    }
    // Key presses in bursts that do not wait for the worker: forward over the whole folder,
    // then back, each press checked as it returns.
    for (const int mode : modes) {
        view.SizeItems[static_cast<std::size_t>(mode)]->trigger();
        main.OpenRequested = true;
        view.OpenPath = paths.front();
        view.FormActivate();
        for (std::size_t i = 1; i < paths.size(); ++i) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
            QApplication::sendEvent(&view, &press);
            checkShown(i);
            if (i % 3 == 0)
                QApplication::processEvents(); // now and then the worker's results come in
        }
        for (std::size_t i = paths.size() - 1; i-- > 0;) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
            QApplication::sendEvent(&view, &press);
            checkShown(i);
            if (i % 4 == 0)
                QApplication::processEvents();
        }
        idle();
    }
    std::printf(
        "steps showing a wrong picture or caption: %d (peak memory %ld MB)\n", wrong, peakMb());
    view.hide();
    morvane::fView = nullptr;
    morvane::fMain = nullptr;
    if (errors > 0 || beeps > 0)
        std::fprintf(stderr, "viewer-bench: %d load errors, %d beeps\n", errors, beeps);
    std::printf("open_ratio=%.2f step_p95_ms=%.2f prepare_p95_ms=%.2f open_fit_ratio=%.2f\n",
        openRatio,
        worst[1].p95,
        worst[2].p95,
        openFitRatio);
    return errors > 0 || wrong > 0 ? 1 : 0;
}
