// SPDX-License-Identifier: GPL-3.0-or-later
// How a reduced decode of progressive JPEGs that reads fewer scans compares with the decode that
// reads them all, over the progressive JPEGs of a folder: per way of reading, the time (median
// over the rounds of the whole set, and its ratio to the full reading in the same round) and the
// difference of every colour channel of every pixel from the full reading (mean and maximum, in
// levels of 0..255).
//   thumbs-progressive DIR [--scale 1..3] [--rounds N]
#include "imaging/jpegdecode.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using morvane::imaging::CoefficientNeed;
using morvane::imaging::ProgressiveReading;

struct Way
{
    const char *name;
    ProgressiveReading reading;
};

// clang-format off
const Way kWays[] = {
    {"all scans (reference)",           {false, CoefficientNeed::All, false}},
    {"exact: DC where a block is 1 px", {true, CoefficientNeed::All, false}},
    {"  same, stopping after the last", {true, CoefficientNeed::All, true}},
    {"first AC pass for 2-4 px blocks", {true, CoefficientNeed::FirstPass, false}},
    {"DC only everywhere",              {true, CoefficientNeed::DcOnly, false}},
    {"  same, stopping after the last", {true, CoefficientNeed::DcOnly, true}},
};
// clang-format on

bool isProgressive(const QByteArray &bytes)
{
    const auto layout =
        morvane::imaging::findJpegScans(reinterpret_cast<const unsigned char *>(bytes.constData()),
            static_cast<std::size_t>(bytes.size()));
    return layout && std::any_of(layout->scans.begin(), layout->scans.end(), [](const auto &s) {
        return s.ss > 0 || s.ah > 0;
    });
}

QImage decode(const QByteArray &bytes, int scale, const ProgressiveReading &reading)
{
    return morvane::imaging::decodeJpeg(reinterpret_cast<const unsigned char *>(bytes.constData()),
        static_cast<std::size_t>(bytes.size()),
        scale,
        {},
        reading)
        .picture.image;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QString dir;
    int scale = 3;
    int rounds = 5;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a = argv[i];
        if (a == "--scale" && i + 1 < argc)
            scale = std::atoi(argv[++i]);
        else if (a == "--rounds" && i + 1 < argc)
            rounds = std::atoi(argv[++i]);
        else if (dir.isEmpty())
            dir = QString::fromLocal8Bit(a);
        else
            dir.clear(), i = argc;
    }
    if (dir.isEmpty() || scale < 1 || scale > 3 || rounds < 1) {
        std::fputs("usage: thumbs-progressive DIR [--scale 1..3] [--rounds N]\n", stderr);
        return 2;
    }
    std::vector<QByteArray> files;
    const QStringList names =
        QDir(dir).entryList({QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")}, QDir::Files);
    for (const QString &name : names) {
        QFile f(QDir(dir).filePath(name));
        if (f.open(QIODevice::ReadOnly)) {
            QByteArray bytes = f.readAll();
            if (isProgressive(bytes))
                files.push_back(std::move(bytes));
        }
    }
    std::printf("%zu progressive files, scale 1/%d, %d rounds\n", files.size(), 1 << scale, rounds);

    std::vector<QImage> reference;
    for (const QByteArray &bytes : files)
        reference.push_back(decode(bytes, scale, kWays[0].reading));
    std::printf("%-34s %9s %7s %9s %5s\n", "reading", "median s", "ratio", "mean diff", "max");
    for (const Way &way : kWays) {
        double sum = 0;
        double channels = 0;
        int maxDiff = 0;
        for (std::size_t f = 0; f < files.size(); ++f) {
            const QImage image = decode(files[f], scale, way.reading);
            const QImage &ref = reference[f];
            if (image.size() != ref.size() || image.isNull()) {
                std::printf("%s: %zu-th file failed\n", way.name, f);
                return 1;
            }
            for (int y = 0; y < ref.height(); ++y) {
                const auto *a = reinterpret_cast<const QRgb *>(ref.constScanLine(y));
                const auto *b = reinterpret_cast<const QRgb *>(image.constScanLine(y));
                for (int x = 0; x < ref.width(); ++x) {
                    for (int shift = 0; shift < 24; shift += 8) {
                        const int d =
                            std::abs(int((a[x] >> shift) & 0xFF) - int((b[x] >> shift) & 0xFF));
                        sum += d;
                        maxDiff = std::max(maxDiff, d);
                    }
                }
            }
            channels += 3.0 * ref.width() * ref.height();
        }
        // Each round times this way and the reference back to back, so load from elsewhere on
        // the machine falls on both.
        std::vector<double> times;
        std::vector<double> ratios;
        for (int r = 0; r < rounds; ++r) {
            double t[2];
            for (int k = 0; k < 2; ++k) {
                QElapsedTimer timer;
                timer.start();
                for (const QByteArray &bytes : files)
                    (void)decode(bytes, scale, k == 0 ? way.reading : kWays[0].reading);
                t[k] = static_cast<double>(timer.nsecsElapsed()) / 1e9;
            }
            times.push_back(t[0]);
            ratios.push_back(t[0] / t[1]);
        }
        std::printf("%-34s %9.3f %7.3f %9.3f %5d\n",
            way.name,
            median(times),
            median(ratios),
            channels > 0 ? sum / channels : 0.0,
            maxDiff);
    }
    return 0;
}
