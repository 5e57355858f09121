// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick of the list build per picture format: each format's library alone decoding
// every file of a folder by its fastest route for a thumbnail, on N threads, nothing drawn or
// kept. Qt's reader for PNG, GIF, WebP, TIFF and Netpbm; our TGA decoder; libheif for HEIF/AVIF
// (the thumbnail item when it reaches the box, else the primary image, as interleaved RGB); libjxl
// for JPEG XL (RGBA, 8 bits); LibRaw for RAW (its JPEG preview, decoded by libjpeg-turbo at the
// smallest scale that covers the box).
//   thumbs-formatloop DIR [--threads N] [--box N]
#include "imaging/formatdecoders.h"
#include "imaging/imagedecode.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QImageReader>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using namespace morvane::imaging;

bool decodeOne(const QString &path, int box)
{
    const QByteArray native = QFile::encodeName(path);
    const PictureFormat format = pictureFormatForName(native);
    const std::optional<QByteArray> bytes = readWholeFile(native, qint64(512) << 20);
    if (!bytes)
        return false;
    switch (format) {
    case PictureFormat::Heif:
        return decodeHeif(*bytes, box, {}).status == DecodeStatus::Decoded;
    case PictureFormat::JpegXl:
        return decodeJpegXl(*bytes, {}).status == DecodeStatus::Decoded;
    case PictureFormat::Targa:
        return decodeTargaFile(*bytes, {}).status == DecodeStatus::Decoded;
    case PictureFormat::Raw:
        return decodeRaw(*bytes, QSize(box, box), false, RawFacts::Sensor, {}).status
            == DecodeStatus::Decoded;
    case PictureFormat::None:
    case PictureFormat::Jpeg:
        return false;
    default: {
        QBuffer buffer;
        buffer.setData(*bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        return !reader.read().isNull();
    }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString dir;
    int threads = 1;
    int box = 48;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a = argv[i];
        if (a == "--threads" && i + 1 < argc)
            threads = std::atoi(argv[++i]);
        else if (a == "--box" && i + 1 < argc)
            box = std::atoi(argv[++i]);
        else if (dir.isEmpty())
            dir = QString::fromLocal8Bit(a);
        else
            dir.clear(), i = argc;
    }
    if (dir.isEmpty() || threads < 1 || box < 1) {
        std::fputs("usage: thumbs-formatloop DIR [--threads N] [--box N]\n", stderr);
        return 2;
    }
    QStringList files;
    for (const QString &name : QDir(dir).entryList(QDir::Files, QDir::Name))
        files << QDir(dir).filePath(name);
    const auto start = std::chrono::steady_clock::now();
    std::atomic<int> next {0};
    std::atomic<int> decoded {0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            for (int i = next++; i < files.size(); i = next++) {
                if (decodeOne(files[i], box))
                    ++decoded;
            }
        });
    }
    for (std::thread &t : pool)
        t.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("files: %lld\ndecoded: %d\nwall time: %.3f s\n",
        static_cast<long long>(files.size()),
        decoded.load(),
        seconds);
    return 0;
}
