// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/imagefixtures.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <numbers>
#include <vector>

namespace morvane::testsupport {
namespace {

    struct ErrorManager
    {
        jpeg_error_mgr pub;
        std::jmp_buf jump;
    };

    [[noreturn]] void onError(j_common_ptr cinfo)
    {
        std::longjmp(reinterpret_cast<ErrorManager *>(cinfo->err)->jump, 1);
    }

    void putLe16(QByteArray &out, int v)
    {
        out.append(static_cast<char>(v & 0xFF));
        out.append(static_cast<char>((v >> 8) & 0xFF));
    }

    void putLe32(QByteArray &out, qint64 v)
    {
        for (int i = 0; i < 4; ++i)
            out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    }

    // Row y of the texture: diagonal stripes, 8-pixel checks that swap two colours (sharp chroma
    // edges) and noise from a fixed generator, around the recipe's colour.
    void texturedRow(
        const JpegRecipe &recipe, int y, int components, std::vector<unsigned char> &row)
    {
        const unsigned char base[3] = {recipe.c0, recipe.c1, recipe.c2};
        for (int x = 0; x < recipe.width; ++x) {
            const unsigned hash =
                (static_cast<unsigned>(x) * 73856093U) ^ (static_cast<unsigned>(y) * 19349663U);
            const int noise = static_cast<int>((hash * 2654435761U) >> 27) - 16;
            const bool check = ((x / 8) + (y / 8)) % 2 == 0;
            for (int c = 0; c < components; ++c) {
                int v = base[c] + ((x + 2 * y) % 32) * 2 - 32 + noise;
                if (check)
                    v = 255 - v;
                row[static_cast<std::size_t>(x * components + c)] =
                    static_cast<unsigned char>(std::clamp(v, 0, 255));
            }
        }
    }

    // The sweep chart's row: phase pi * sweepTo * x^2 / width gives the local frequency
    // sweepTo * x / width.
    void sweepRow(const JpegRecipe &recipe, int components, std::vector<unsigned char> &row)
    {
        const unsigned char base[3] = {recipe.c0, recipe.c1, recipe.c2};
        for (int x = 0; x < recipe.width; ++x) {
            const double phase = std::numbers::pi * recipe.sweepTo * double(x) * x / recipe.width;
            for (int c = 0; c < components; ++c) {
                const long v = std::lround(base[c] + 100 * std::cos(phase));
                row[static_cast<std::size_t>(x * components + c)] =
                    static_cast<unsigned char>(std::clamp(v, 0L, 255L));
            }
        }
    }

    bool compress(const JpegRecipe &recipe, unsigned char **buffer, unsigned long *size)
    {
        jpeg_compress_struct cinfo {};
        ErrorManager err {};
        cinfo.err = jpeg_std_error(&err.pub);
        err.pub.error_exit = onError;
        const int components = recipe.colour == JpegColour::Rgb ? 3
            : recipe.colour == JpegColour::Grey                 ? 1
                                                                : 4;
        std::vector<unsigned char> row(static_cast<std::size_t>(recipe.width * components));
        for (int x = 0; x < recipe.width; ++x) {
            unsigned char *p = row.data() + x * components;
            if (components == 1) {
                p[0] = recipe.c0;
            } else if (components == 3) {
                p[0] = recipe.c0;
                p[1] = recipe.c1;
                p[2] = recipe.c2;
            } else { // inverted CMYK, as Adobe applications store it
                p[0] = static_cast<unsigned char>(255 - recipe.c0);
                p[1] = static_cast<unsigned char>(255 - recipe.c1);
                p[2] = static_cast<unsigned char>(255 - recipe.c2);
                p[3] = static_cast<unsigned char>(255 - recipe.c3);
            }
        }
        if (recipe.sweepTo > 0 && components < 4)
            sweepRow(recipe, components, row);
        if (setjmp(err.jump) != 0) {
            jpeg_destroy_compress(&cinfo);
            return false;
        }
        jpeg_create_compress(&cinfo);
        jpeg_mem_dest(&cinfo, buffer, size);
        cinfo.image_width = static_cast<JDIMENSION>(recipe.width);
        cinfo.image_height = static_cast<JDIMENSION>(recipe.height);
        cinfo.input_components = components;
        cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE
            : components == 3                  ? JCS_RGB
                                               : JCS_CMYK;
        jpeg_set_defaults(&cinfo);
        if (recipe.colour == JpegColour::Ycck)
            jpeg_set_colorspace(&cinfo, JCS_YCCK); // writes the Adobe marker, transform 2
        else if (recipe.colour == JpegColour::Cmyk)
            jpeg_set_colorspace(&cinfo, JCS_CMYK); // writes the Adobe marker, transform 0
        jpeg_set_quality(&cinfo, recipe.quality, TRUE);
        if (recipe.progressive)
            jpeg_simple_progression(&cinfo);
        jpeg_start_compress(&cinfo, TRUE);
        JSAMPROW rows[1] = {row.data()};
        while (cinfo.next_scanline < cinfo.image_height) {
            if (recipe.textured && components < 4 && recipe.sweepTo <= 0)
                texturedRow(recipe, static_cast<int>(cinfo.next_scanline), components, row);
            jpeg_write_scanlines(&cinfo, rows, 1);
        }
        jpeg_finish_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);
        return true;
    }

} // namespace

QByteArray jpegBytes(const JpegRecipe &recipe)
{
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    QByteArray out;
    if (compress(recipe, &buffer, &size))
        out = QByteArray(reinterpret_cast<const char *>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return out;
}

double sweepFineHalfDeviation(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    double sum = 0, squares = 0;
    qint64 count = 0;
    for (int y = 2; y < rgb.height() - 2; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = rgb.width() / 2 + 2; x < rgb.width() - 2; ++x) {
            const double g = qGreen(line[x]);
            sum += g;
            squares += g * g;
            ++count;
        }
    }
    if (count == 0)
        return 0;
    const double mean = sum / double(count);
    return std::sqrt(std::max(0.0, squares / double(count) - mean * mean));
}

QByteArray bmpBytes(int width, int height, quint8 r, quint8 g, quint8 b)
{
    const int stride = (width * 3 + 3) / 4 * 4;
    const qint64 pixels = qint64(stride) * height;
    QByteArray out;
    out.append("BM");
    putLe32(out, 54 + pixels);
    putLe32(out, 0);
    putLe32(out, 54);
    putLe32(out, 40);
    putLe32(out, width);
    putLe32(out, height);
    putLe16(out, 1);
    putLe16(out, 24);
    putLe32(out, 0); // BI_RGB
    putLe32(out, pixels);
    putLe32(out, 2835);
    putLe32(out, 2835);
    putLe32(out, 0);
    putLe32(out, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            out.append(static_cast<char>(b));
            out.append(static_cast<char>(g));
            out.append(static_cast<char>(r));
        }
        for (int p = width * 3; p < stride; ++p)
            out.append('\0');
    }
    return out;
}

QByteArray icoBytes(int size, quint8 r, quint8 g, quint8 b, quint8 alpha)
{
    const int maskStride = (size + 31) / 32 * 4;
    const qint64 imageBytes = 40 + qint64(size) * size * 4 + qint64(maskStride) * size;
    QByteArray out;
    putLe16(out, 0);
    putLe16(out, 1); // icon
    putLe16(out, 1); // one image
    out.append(static_cast<char>(size >= 256 ? 0 : size));
    out.append(static_cast<char>(size >= 256 ? 0 : size));
    out.append('\0'); // no palette
    out.append('\0');
    putLe16(out, 1);
    putLe16(out, 32);
    putLe32(out, imageBytes);
    putLe32(out, 6 + 16);
    // BITMAPINFOHEADER: the height counts the colour rows and the mask rows.
    putLe32(out, 40);
    putLe32(out, size);
    putLe32(out, 2 * size);
    putLe16(out, 1);
    putLe16(out, 32);
    putLe32(out, 0);
    putLe32(out, qint64(size) * size * 4);
    putLe32(out, 0);
    putLe32(out, 0);
    putLe32(out, 0);
    putLe32(out, 0);
    for (int i = 0; i < size * size; ++i) {
        out.append(static_cast<char>(b));
        out.append(static_cast<char>(g));
        out.append(static_cast<char>(r));
        out.append(static_cast<char>(alpha));
    }
    out.append(QByteArray(maskStride * size, '\0'));
    return out;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size() && file.flush();
}

} // namespace morvane::testsupport
