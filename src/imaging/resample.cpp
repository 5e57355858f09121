// SPDX-License-Identifier: GPL-3.0-or-later
#include "imaging/resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
// AVX2 paths chosen at run time; the build itself assumes only SSE2.
#define MORVANE_AVX2_AT_RUN_TIME 1
#endif
#include <climits>

namespace morvane::imaging {

namespace {

    constexpr int kWeightBits = 14;
    constexpr int kOne = 1 << kWeightBits;
    // The vertical pass keeps 6 bits below the byte for the horizontal one.
    constexpr int kCarryBits = 6;

    double catmullRom(double x)
    {
        x = std::fabs(x);
        if (x < 1)
            return (1.5 * x - 2.5) * x * x + 1;
        if (x < 2)
            return ((-0.5 * x + 2.5) * x - 4) * x + 2;
        return 0;
    }

    // The taps of each target index along one side: where they start in the source, and their
    // weights, `taps` per index, summing to kOne exactly.
    struct Taps
    {
        int taps = 0;
        std::vector<int> first;
        std::vector<std::int16_t> weights;
    };

    Taps tapsFor(int source, int target)
    {
        const double ratio = double(source) / target;
        const double stretch = std::max(ratio, 1.0);
        Taps t;
        t.taps = std::min(source, int(std::ceil(2 * stretch)) * 2 + 1);
        t.taps += t.taps % 2; // pairs of taps
        t.first.resize(std::size_t(target));
        t.weights.assign(std::size_t(target) * std::size_t(t.taps), 0);
        std::vector<double> w(std::size_t(t.taps));
        for (int j = 0; j < target; ++j) {
            const double centre = (j + 0.5) * ratio - 0.5;
            const int lowest = int(std::floor(centre - 2 * stretch)) + 1;
            const int highest = int(std::ceil(centre + 2 * stretch));
            // Taps beyond an edge are folded onto the edge pixel, so the first is within.
            const int first = std::clamp(lowest, 0, std::max(0, source - t.taps));
            std::fill(w.begin(), w.end(), 0.0);
            double sum = 0;
            for (int i = lowest; i <= highest; ++i) {
                const double weight = catmullRom((i - centre) / stretch);
                if (weight == 0)
                    continue;
                const int at = std::clamp(i, 0, source - 1) - first;
                if (at < 0 || at >= t.taps)
                    continue;
                w[std::size_t(at)] += weight;
                sum += weight;
            }
            std::int16_t *out = &t.weights[std::size_t(j) * std::size_t(t.taps)];
            int total = 0, largest = 0;
            for (int k = 0; k < t.taps; ++k) {
                out[k] = std::int16_t(std::lround(w[std::size_t(k)] / sum * kOne));
                total += out[k];
                if (std::abs(out[k]) > std::abs(out[largest]))
                    largest = k;
            }
            out[largest] = std::int16_t(out[largest] + (kOne - total));
            t.first[std::size_t(j)] = first;
        }
        return t;
    }

    // Two weights side by side in one 32-bit lane, for the multiply-add of pairs.
    [[maybe_unused]] int pairOf(std::int16_t first, std::int16_t second)
    {
        return int(
            std::uint32_t(std::uint16_t(first)) | (std::uint32_t(std::uint16_t(second)) << 16));
    }

#if defined(MORVANE_AVX2_AT_RUN_TIME)
    // The vertical sums 32 bytes at a time, on processors with AVX2 (most since 2013).
    __attribute__((target("avx2"))) int verticalWide(const std::uint8_t *const *rows,
        const std::int16_t *weights,
        int taps,
        int bytes,
        std::int16_t *out)
    {
        const __m256i zero = _mm256_setzero_si256();
        int x = 0;
        for (; x + 32 <= bytes; x += 32) {
            __m256i acc[4];
            for (auto &a : acc)
                a = _mm256_set1_epi32(1 << (kWeightBits - kCarryBits - 1));
            for (int t = 0; t < taps; t += 2) {
                const __m256i a =
                    _mm256_loadu_si256(reinterpret_cast<const __m256i *>(rows[t] + x));
                const __m256i b =
                    _mm256_loadu_si256(reinterpret_cast<const __m256i *>(rows[t + 1] + x));
                const __m256i w = _mm256_set1_epi32(pairOf(weights[t], weights[t + 1]));
                const __m256i lo = _mm256_unpacklo_epi8(a, b);
                const __m256i hi = _mm256_unpackhi_epi8(a, b);
                acc[0] =
                    _mm256_add_epi32(acc[0], _mm256_madd_epi16(_mm256_unpacklo_epi8(lo, zero), w));
                acc[1] =
                    _mm256_add_epi32(acc[1], _mm256_madd_epi16(_mm256_unpackhi_epi8(lo, zero), w));
                acc[2] =
                    _mm256_add_epi32(acc[2], _mm256_madd_epi16(_mm256_unpacklo_epi8(hi, zero), w));
                acc[3] =
                    _mm256_add_epi32(acc[3], _mm256_madd_epi16(_mm256_unpackhi_epi8(hi, zero), w));
            }
            for (auto &a : acc)
                a = _mm256_srai_epi32(a, kWeightBits - kCarryBits);
            // The unpacks work within each 128-bit half: the halves hold bytes 0-15 and 16-31.
            const __m256i first = _mm256_packs_epi32(acc[0], acc[1]);
            const __m256i second = _mm256_packs_epi32(acc[2], acc[3]);
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + x),
                _mm256_permute2x128_si256(first, second, 0x20));
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + x + 16),
                _mm256_permute2x128_si256(first, second, 0x31));
        }
        return x;
    }
#endif

    // One target row's vertical sum of `taps` (even) source rows, then the carry: the value times
    // 2^kCarryBits.
    void verticalPass(const std::uint8_t *const *rows,
        const std::int16_t *weights,
        int taps,
        int bytes,
        std::int16_t *out)
    {
        constexpr std::int32_t kRound = 1 << (kWeightBits - kCarryBits - 1);
        int x = 0;
#if defined(MORVANE_AVX2_AT_RUN_TIME)
        static const bool wide = __builtin_cpu_supports("avx2");
        if (wide)
            x = verticalWide(rows, weights, taps, bytes, out);
#endif
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        for (; x + 16 <= bytes; x += 16) {
            __m128i acc[4];
            for (auto &a : acc)
                a = _mm_set1_epi32(kRound);
            for (int t = 0; t < taps; t += 2) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rows[t] + x));
                const __m128i b =
                    _mm_loadu_si128(reinterpret_cast<const __m128i *>(rows[t + 1] + x));
                const __m128i w = _mm_set1_epi32(pairOf(weights[t], weights[t + 1]));
                const __m128i lo = _mm_unpacklo_epi8(a, b);
                const __m128i hi = _mm_unpackhi_epi8(a, b);
                acc[0] = _mm_add_epi32(acc[0], _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), w));
                acc[1] = _mm_add_epi32(acc[1], _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), w));
                acc[2] = _mm_add_epi32(acc[2], _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), w));
                acc[3] = _mm_add_epi32(acc[3], _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), w));
            }
            for (auto &a : acc)
                a = _mm_srai_epi32(a, kWeightBits - kCarryBits);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), _mm_packs_epi32(acc[0], acc[1]));
            _mm_storeu_si128(
                reinterpret_cast<__m128i *>(out + x + 8), _mm_packs_epi32(acc[2], acc[3]));
        }
#endif
        for (; x < bytes; ++x) {
            std::int32_t acc = kRound;
            for (int t = 0; t < taps; ++t)
                acc += std::int32_t(weights[t]) * rows[t][x];
            out[x] = std::int16_t(acc >> (kWeightBits - kCarryBits));
        }
    }

#if defined(MORVANE_AVX2_AT_RUN_TIME)
    // Target pixels two at a time, one in each 128-bit half, on processors with AVX2; returns
    // how many were made.
    __attribute__((target("avx2"))) int horizontalWide(
        const std::int16_t *row, const Taps &h, int width, std::uint8_t *out)
    {
        int x = 0;
        for (; x + 2 <= width; x += 2) {
            const std::int16_t *src0 = row + std::ptrdiff_t(h.first[std::size_t(x)]) * 4;
            const std::int16_t *src1 = row + std::ptrdiff_t(h.first[std::size_t(x) + 1]) * 4;
            const std::int16_t *w0 = &h.weights[std::size_t(x) * std::size_t(h.taps)];
            const std::int16_t *w1 = w0 + h.taps;
            __m256i acc = _mm256_set1_epi32(1 << (kWeightBits + kCarryBits - 1));
            for (int t = 0; t < h.taps; t += 2) {
                const __m256i pairs = _mm256_inserti128_si256(
                    _mm256_castsi128_si256(_mm_loadu_si128(
                        reinterpret_cast<const __m128i *>(src0 + std::ptrdiff_t(t) * 4))),
                    _mm_loadu_si128(
                        reinterpret_cast<const __m128i *>(src1 + std::ptrdiff_t(t) * 4)),
                    1);
                const __m256i mixed = _mm256_unpacklo_epi16(pairs, _mm256_srli_si256(pairs, 8));
                const __m256i weights =
                    _mm256_inserti128_si256(_mm256_set1_epi32(pairOf(w0[t], w0[t + 1])),
                        _mm_set1_epi32(pairOf(w1[t], w1[t + 1])),
                        1);
                acc = _mm256_add_epi32(acc, _mm256_madd_epi16(mixed, weights));
            }
            acc = _mm256_srai_epi32(acc, kWeightBits + kCarryBits);
            const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(acc, acc), acc);
            const int first = _mm256_extract_epi32(bytes, 0);
            const int second = _mm256_extract_epi32(bytes, 4);
            std::memcpy(out + std::ptrdiff_t(x) * 4, &first, 4);
            std::memcpy(out + std::ptrdiff_t(x) * 4 + 4, &second, 4);
        }
        return x;
    }
#endif

    // One target row from the vertical sums, `taps` (even) per pixel; `row` holds one pixel more
    // than the source has, for the last pair.
    void horizontalPass(
        const std::int16_t *row, const Taps &h, int width, int alphaByte, std::uint8_t *out)
    {
        constexpr std::int32_t kRound = 1 << (kWeightBits + kCarryBits - 1);
        int x = 0;
#if defined(MORVANE_AVX2_AT_RUN_TIME)
        static const bool wide = __builtin_cpu_supports("avx2");
        if (wide)
            x = horizontalWide(row, h, width, out);
#endif
        for (; x < width; ++x) {
            const std::int16_t *src = row + std::ptrdiff_t(h.first[std::size_t(x)]) * 4;
            const std::int16_t *w = &h.weights[std::size_t(x) * std::size_t(h.taps)];
            std::int32_t sum[4];
#if defined(__SSE2__)
            __m128i acc = _mm_set1_epi32(kRound);
            for (int t = 0; t < h.taps; t += 2) {
                const __m128i pair =
                    _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + std::ptrdiff_t(t) * 4));
                const __m128i mixed = _mm_unpacklo_epi16(pair, _mm_srli_si128(pair, 8));
                const __m128i weights = _mm_set1_epi32(pairOf(w[t], w[t + 1]));
                acc = _mm_add_epi32(acc, _mm_madd_epi16(mixed, weights));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i *>(sum), acc);
#else
            for (auto &s : sum)
                s = kRound;
            for (int t = 0; t < h.taps; ++t) {
                for (int c = 0; c < 4; ++c)
                    sum[c] += std::int32_t(w[t]) * src[t * 4 + c];
            }
#endif
            std::uint8_t *px = out + std::ptrdiff_t(x) * 4;
            for (int c = 0; c < 4; ++c)
                px[c] = std::uint8_t(std::clamp(sum[c] >> (kWeightBits + kCarryBits), 0, 255));
        }
        if (alphaByte >= 0) {
            for (std::uint8_t *px = out; px < out + std::ptrdiff_t(width) * 4; px += 4) {
                for (int c = 0; c < 4; ++c)
                    px[c] = std::min(px[c], px[alphaByte]);
            }
        }
    }

} // namespace

bool resampleCubic(const PixelRows<const std::uint8_t> &from,
    const PixelRows<std::uint8_t> &to,
    int alphaByte,
    int firstRow,
    int endRow)
{
    if (endRow < 0)
        endRow = to.height;
    if (firstRow < 0 || firstRow > endRow || endRow > to.height || from.bits == nullptr
        || to.bits == nullptr || from.width <= 0 || from.height <= 0 || to.width <= 0
        || to.height <= 0 || from.width > INT_MAX / 4 - 1 || alphaByte < -1 || alphaByte > 3
        || from.bytesPerLine < std::ptrdiff_t(from.width) * 4
        || to.bytesPerLine < std::ptrdiff_t(to.width) * 4)
        return false;
    const Taps h = tapsFor(from.width, to.width);
    const Taps v = tapsFor(from.height, to.height);
    const int bytes = from.width * 4;
    std::vector<std::int16_t> row(static_cast<std::size_t>(bytes + 4), 0);
    std::vector<const std::uint8_t *> rows(std::size_t(v.taps));
    for (int y = firstRow; y < endRow; ++y) {
        for (int t = 0; t < v.taps; ++t)
            rows[std::size_t(t)] = from.bits
                + from.bytesPerLine * std::min(v.first[std::size_t(y)] + t, from.height - 1);
        verticalPass(rows.data(),
            &v.weights[std::size_t(y) * std::size_t(v.taps)],
            v.taps,
            bytes,
            row.data());
        horizontalPass(row.data(), h, to.width, alphaByte, to.bits + to.bytesPerLine * y);
    }
    return true;
}

} // namespace morvane::imaging
