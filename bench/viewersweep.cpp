// SPDX-License-Identifier: GPL-3.0-or-later
// viewer-bench --sweep: the fit mode's residual pattern on a frequency sweep test chart, and the
// processor cost of the fit load against the route before it (decoded at the drawing size, then
// area-averaged).
#include "viewersweep.h"

#include "imaging/imagedecode.h"
#include "support/imagefixtures.h"
#include "viewer/pictureloader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

using morvane::LoadedPicture;

// Processor time of the whole process: the smooth resize runs on Qt's thread pool.
double processCpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The fit load as it was: decoded at the smallest DCT scale covering the drawing, area-averaged.
QImage previousRoute(const QByteArray &path, QSize drawn)
{
    const auto decoded = morvane::imaging::decodePictureToShow(path,
        morvane::imaging::PictureFormat::Jpeg,
        morvane::imaging::JpegShowOptions {drawn, {}, {}, {}},
        true);
    return morvane::smoothScaled(decoded.picture.image, drawn);
}

QImage currentRoute(const QByteArray &path, QSize drawn)
{
    return morvane::loadPictureFile(path, drawn).scaled;
}

QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(u' ', 0, 2)
                                       : QStringLiteral("?");
}

// Writes the chart of `chart` pixels into `dir`, its right half sweeping from 1 to 2 cycles per
// pixel drawn at `drawn`, prints what it is and its residual pattern by both routes (also left in
// `now` and `before`), and returns its path; empty when it could not be written.
QByteArray writeSweepChart(
    const QTemporaryDir &dir, QSize chart, QSize drawn, double &now, double &before)
{
    const QString file = dir.filePath(QStringLiteral("sweep.jpg"));
    const QByteArray bytes = morvane::testsupport::jpegBytes({.width = chart.width(),
        .height = chart.height(),
        .quality = 95,
        .c0 = 128,
        .c1 = 128,
        .c2 = 128,
        .sweepTo = 2.0 * drawn.width() / chart.width()});
    if (bytes.isEmpty() || !morvane::testsupport::writeFile(file, bytes))
        return {};
    const QByteArray path = QFile::encodeName(file);
    std::printf("sweep chart %dx%d (JPEG quality 95, %lld bytes) drawn at %dx%d: the right half "
                "sweeps 1 to 2 cycles per drawn pixel\n",
        chart.width(),
        chart.height(),
        static_cast<long long>(bytes.size()),
        drawn.width(),
        drawn.height());
    before = morvane::testsupport::sweepFineHalfDeviation(previousRoute(path, drawn));
    now = morvane::testsupport::sweepFineHalfDeviation(currentRoute(path, drawn));
    std::printf("  fine half, standard deviation: %.2f levels (decoded at the drawing size: %.2f; "
                "the sweep's sine: 100)\n",
        now,
        before);
    return path;
}

} // namespace

int runSweep(QSize client, QSize chart, int rounds, const QString &picture)
{
    QTemporaryDir dir;
    QByteArray path;
    QSize drawn;
    double now = 0, before = 0;
    if (picture.isEmpty()) {
        drawn = chart.scaled(client, Qt::KeepAspectRatio);
        path = writeSweepChart(dir, chart, drawn, now, before);
        if (path.isEmpty()) {
            std::fputs("viewer-bench: the sweep chart could not be written\n", stderr);
            return 1;
        }
    } else {
        path = QFile::encodeName(picture);
        const LoadedPicture whole = morvane::loadPictureFile(path);
        if (!whole.ok()) {
            std::fprintf(stderr, "viewer-bench: %s\n", qPrintable(whole.error));
            return 1;
        }
        drawn = whole.fullSize.scaled(client, Qt::KeepAspectRatio);
        std::printf("%s (%dx%d) drawn at %dx%d\n",
            qPrintable(picture),
            whole.fullSize.width(),
            whole.fullSize.height(),
            drawn.width(),
            drawn.height());
    }

    std::vector<double> cpuNow, cpuBefore, wallNow, wallBefore;
    QThreadPool::globalInstance()->waitForDone();
    for (int round = 0; round < rounds; ++round) {
        // Alternated, so a change of the machine's load falls on both.
        for (const bool current : {round % 2 == 0, round % 2 != 0}) {
            QElapsedTimer t;
            t.start();
            const double cpu = processCpuMs();
            const QImage drawnPicture =
                current ? currentRoute(path, drawn) : previousRoute(path, drawn);
            (current ? cpuNow : cpuBefore).push_back(processCpuMs() - cpu);
            (current ? wallNow : wallBefore).push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
            if (drawnPicture.size() != drawn)
                return 1;
        }
    }
    std::printf("  fit load, processor: median %.2f ms (decoded at the drawing size: %.2f ms), "
                "ratio %.2f\n",
        median(cpuNow),
        median(cpuBefore),
        median(cpuNow) / std::max(1e-9, median(cpuBefore)));
    std::printf("  fit load, wall: median %.2f ms (decoded at the drawing size: %.2f ms)\n",
        median(wallNow),
        median(wallBefore));
    std::printf("  load average %s, %d rounds\n", qPrintable(loadAverage()), rounds);
    std::printf("sweep_residual=%.2f sweep_residual_before=%.2f fit_cpu_ratio=%.2f\n",
        now,
        before,
        median(cpuNow) / std::max(1e-9, median(cpuBefore)));
    return 0;
}
