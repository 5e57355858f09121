// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QtGlobal>

// Picture files made in code for the decoder and list builder tests: JPEG through libjpeg's
// compressor (one solid colour, or a texture), BMP and ICO assembled byte by byte in one colour.
namespace morvane::testsupport {

enum class JpegColour { Rgb, Grey, Cmyk, Ycck };

struct JpegRecipe
{
    int width = 16;
    int height = 16;
    JpegColour colour = JpegColour::Rgb;
    bool progressive = false;
    // Rgb and Grey: a pattern of stripes, checks and noise around the colour instead of the flat
    // colour, so every band of coefficients carries something (chroma edges included).
    bool textured = false;
    int quality = 90;
    // Rgb: the colour; Grey: the grey level (red channel); Cmyk/Ycck: ink amounts 0..255 as
    // (cyan, magenta, yellow, black), stored the Adobe way (inverted) with an Adobe marker.
    unsigned char c0 = 40, c1 = 60, c2 = 90, c3 = 0;
    // Rgb and Grey, when above 0: a frequency sweep test chart instead, the same on every row: a
    // sine of 100 levels around the colour whose local frequency rises linearly from 0 at the left
    // edge to this many cycles per pixel at the right edge.
    double sweepTo = 0;
};

// The compressed bytes (empty when libjpeg failed).
[[nodiscard]] QByteArray jpegBytes(const JpegRecipe &recipe);

// The standard deviation (levels, green channel) of `image` over the right half of a sweep chart
// drawn into it, a margin of 2 pixels left out: 0 when that half is drawn flat.
[[nodiscard]] double sweepFineHalfDeviation(const QImage &image);

// A 24-bit uncompressed BMP of one colour, bottom-up rows.
[[nodiscard]] QByteArray bmpBytes(int width, int height, quint8 r, quint8 g, quint8 b);

// An ICO file with one 32-bit image of one colour and the given alpha (AND mask all 0).
[[nodiscard]] QByteArray icoBytes(int size, quint8 r, quint8 g, quint8 b, quint8 alpha);

// Writes `bytes` to `path`; false on any error.
[[nodiscard]] bool writeFile(const QString &path, const QByteArray &bytes);

} // namespace morvane::testsupport
