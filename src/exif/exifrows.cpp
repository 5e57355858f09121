// SPDX-License-Identifier: GPL-3.0-or-later
#include "exif/exifrows.h"

#include "platform/cp932.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace morvane::exif {

std::string generalFloat(double value)
{
    // to_chars ignores the C locale, which the GUI sets from the environment (a German
    // LC_NUMERIC would otherwise give "2,8").
    std::array<char, 64> buf {};
    const auto [end, ec] =
        std::to_chars(buf.data(), buf.data() + buf.size(), value, std::chars_format::general, 15);
    if (ec != std::errc())
        return {};
    return std::string(buf.data(), end);
}

namespace {

    // 2^63: every double below it in magnitude (and -2^63 itself) converts to a 64-bit integer.
    constexpr double kTwo63 = 9223372036854775808.0;

    IntegerResult toInteger(double v)
    {
        if (!(v >= -kTwo63 && v < kTwo63))
            return {0, ExifErrorKind::InvalidOperation};
        return {static_cast<std::int64_t>(v), std::nullopt};
    }

} // namespace

IntegerResult roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return {0, ExifErrorKind::InvalidOperation};
    // Worked out by hand instead of std::nearbyint so a changed floating-point rounding mode
    // elsewhere in the process cannot change the rows.
    const double down = std::floor(value);
    const double diff = value - down;
    double r = down;
    if (diff > 0.5) {
        r = down + 1;
    } else if (diff == 0.5) {
        r = std::fmod(down, 2.0) == 0 ? down : down + 1;
    }
    return toInteger(r);
}

IntegerResult truncateTowardZero(double value)
{
    if (!std::isfinite(value))
        return {0, ExifErrorKind::InvalidOperation};
    return toInteger(std::trunc(value));
}

namespace {

    struct Real
    {
        double value = 0;
        std::optional<ExifErrorKind> fault;
    };

    Real divide(double a, double b)
    {
        if (b == 0)
            return {0, a == 0 ? ExifErrorKind::InvalidOperation : ExifErrorKind::DivisionByZero};
        return {a / b, std::nullopt};
    }

    Real checked(double v)
    {
        if (std::isinf(v))
            return {0, ExifErrorKind::Overflow};
        if (std::isnan(v))
            return {0, ExifErrorKind::InvalidOperation};
        return {v, std::nullopt};
    }

    // Strict UTF-8 (no overlong forms, no surrogates). With `allowCutTail`, an incomplete
    // sequence at the very end is accepted and its length returned in `tail`.
    bool isUtf8(std::string_view s, bool allowCutTail, std::size_t &tail)
    {
        tail = 0;
        std::size_t i = 0;
        while (i < s.size()) {
            const auto b0 = static_cast<unsigned char>(s[i]);
            std::size_t len = 0;
            char32_t cp = 0;
            if (b0 < 0x80) {
                ++i;
                continue;
            }
            if (b0 >= 0xC2 && b0 <= 0xDF) {
                len = 2;
                cp = b0 & 0x1FU;
            } else if (b0 >= 0xE0 && b0 <= 0xEF) {
                len = 3;
                cp = b0 & 0x0FU;
            } else if (b0 >= 0xF0 && b0 <= 0xF4) {
                len = 4;
                cp = b0 & 0x07U;
            } else {
                return false;
            }
            std::size_t k = 1;
            for (; k < len && i + k < s.size(); ++k) {
                const auto b = static_cast<unsigned char>(s[i + k]);
                if ((b & 0xC0) != 0x80)
                    return false;
                cp = cp << 6 | (b & 0x3FU);
            }
            if (k < len) {
                if (!allowCutTail)
                    return false;
                tail = k;
                return true;
            }
            static constexpr std::array<char32_t, 5> kMin = {0, 0, 0x80, 0x800, 0x10000};
            if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return false;
            i += len;
        }
        return true;
    }

    // Whether `s`, read as code page 932 from its start, ends in the first byte of a
    // double-byte character.
    bool endsInLeadByte(std::string_view s)
    {
        std::size_t i = 0;
        while (i < s.size()) {
            if (!platform::isCp932LeadByte(static_cast<unsigned char>(s[i]))) {
                ++i;
            } else if (i + 1 == s.size()) {
                return true;
            } else {
                i += 2;
            }
        }
        return false;
    }

    // Exif texts are meant to be ASCII; cameras and programs write UTF-8 or code page 932 in
    // practice. UTF-8 is kept, anything else is read as code page 932. Where the reader cut a
    // long text, a character cut in half is dropped in either encoding.
    std::string displayText(const ExifEntry &e)
    {
        std::size_t tail = 0;
        std::string text = e.text;
        if (isUtf8(text, e.textCut, tail)) {
            text.resize(text.size() - tail);
            return text;
        }
        if (e.textCut && endsInLeadByte(text))
            text.pop_back();
        return platform::fromCp932(text);
    }

    bool blank(std::string_view s)
    {
        for (const char c : s) {
            if (static_cast<unsigned char>(c) > 32)
                return false;
        }
        return true;
    }

    const char *exposureProgramName(std::uint32_t v)
    {
        switch (v) {
        case 1:
            return "マニュアル";
        case 2:
            return "プログラム";
        case 3:
            return "絞り優先AE";
        case 4:
            return "シャッター速度優先AE";
        case 5:
            return "低速プログラムAE";
        case 6:
            return "高速プログラムAE";
        case 7:
            return "ポートレイト";
        default:
            return "不明";
        }
    }

    const char *meteringModeName(std::uint32_t v)
    {
        switch (v) {
        case 1:
            return "平均測光";
        case 2:
            return "中央部重点測光";
        case 3:
            return "スポット測光";
        case 4:
            return "多点スポット測光";
        case 5:
            return "マルチパターン測光";
        default:
            return "不明";
        }
    }

    constexpr const char *kShutterLabel = "シャッター速度：";
    constexpr const char *kApertureLabel = "絞り値：";
    constexpr const char *kSizeLabel = "画像サイズ：";

    class RowBuilder final : public ExifEntrySink
    {
    public:
        void noExif() override { store("Exif情報：", "なし"); }

        [[nodiscard]] ValueRequest request(std::uint16_t t) const override
        {
            if (t == tag::ShutterSpeedValue && m_shutterShown)
                return ValueRequest::Skip;
            if (t == tag::ApertureValue && m_apertureShown)
                return ValueRequest::Skip;
            // Past the row limit a text cannot change anything but its own row.
            if (valueKindOf(t) == ValueKind::Text && m_rows.size() >= kMaxRows)
                return ValueRequest::CheckOnly;
            return ValueRequest::Decode;
        }

        [[nodiscard]] std::optional<ExifError> entry(const ExifEntry &e) override
        {
            const std::optional<ExifErrorKind> fault = format(e);
            if (fault)
                return makeError(*fault);
            return std::nullopt;
        }

        std::vector<ExifRow> takeRows() { return std::move(m_rows); }

    private:
        void store(std::string label, std::string value)
        {
            if (m_rows.size() < kMaxRows)
                m_rows.push_back({std::move(label), std::move(value)});
        }

        // The grid's append: both texts must be non-blank; `suffix` is added after the test.
        bool append(std::string label, std::string value, std::string_view suffix = {})
        {
            if (blank(label) || blank(value))
                return false;
            value += suffix;
            store(std::move(label), std::move(value));
            return true;
        }

        std::optional<ExifErrorKind> text(const char *label, const ExifEntry &e)
        {
            std::string value = displayText(e);
            append(label, std::move(value), e.textCut ? "…" : "");
            return std::nullopt;
        }

        // sqrt(2)^x shown to one decimal: the f-number of an APEX aperture value.
        static std::optional<ExifErrorKind> apexAperture(const ExifEntry &e, std::string &out)
        {
            const Real x = divide(e.numerator, e.denominator);
            if (x.fault)
                return x.fault;
            const Real tenfold = checked(std::exp2(x.value / 2) * 10);
            if (tenfold.fault)
                return tenfold.fault;
            const IntegerResult r = roundHalfEven(tenfold.value);
            if (r.fault)
                return r.fault;
            out = generalFloat(static_cast<double>(r.value) / 10);
            return std::nullopt;
        }

        void pixelDimension(std::uint16_t t, std::uint32_t v)
        {
            (t == tag::PixelXDimension ? m_pixelWidth : m_pixelHeight) = std::to_string(v);
            if (!m_pixelWidth.empty() && !m_pixelHeight.empty())
                store(kSizeLabel, m_pixelWidth + "×" + m_pixelHeight);
        }

        std::optional<ExifErrorKind> format(const ExifEntry &e)
        {
            switch (e.tag) {
            case tag::Make:
                return text("メーカー名：", e);
            case tag::Model:
                return text("製品名：", e);
            case tag::DateTimeOriginal:
                return text("撮影日時：", e);
            case tag::ExposureTime: {
                const bool reciprocal = e.denominator > e.numerator;
                const Real q = reciprocal ? divide(e.denominator, e.numerator)
                                          : divide(e.numerator, e.denominator);
                if (q.fault)
                    return q.fault;
                const std::string value = (reciprocal ? "1/" : "") + generalFloat(q.value) + "(s)";
                if (append(kShutterLabel, value))
                    m_shutterShown = true;
                return std::nullopt;
            }
            case tag::FNumber: {
                const Real q = divide(e.numerator, e.denominator);
                if (q.fault)
                    return q.fault;
                if (append(kApertureLabel, generalFloat(q.value)))
                    m_apertureShown = true;
                return std::nullopt;
            }
            case tag::ExposureProgram:
                append("露出モード：", exposureProgramName(e.number));
                return std::nullopt;
            case tag::IsoSpeedRatings:
                append("ＩＳＯ感度：", std::to_string(e.number));
                return std::nullopt;
            case tag::CompressedBitsPerPixel: {
                const Real q = divide(e.numerator, e.denominator);
                if (q.fault)
                    return q.fault;
                const IntegerResult t = truncateTowardZero(q.value);
                if (t.fault)
                    return t.fault;
                append("ＪＰＥＧ圧縮率：", std::to_string(t.value) + "/1");
                return std::nullopt;
            }
            case tag::ShutterSpeedValue: {
                // The value is signed: a negative one means an exposure of a second or more,
                // shown as the whole number of seconds 2^-x instead of the fraction 1/2^x.
                const Real x = divide(static_cast<std::int32_t>(e.numerator), e.denominator);
                if (x.fault)
                    return x.fault;
                const bool longExposure = x.value < 0;
                const Real p = checked(std::exp2(longExposure ? -x.value : x.value));
                if (p.fault)
                    return p.fault;
                const IntegerResult r = roundHalfEven(p.value);
                if (r.fault)
                    return r.fault;
                append(kShutterLabel, (longExposure ? "" : "1/") + std::to_string(r.value));
                return std::nullopt;
            }
            case tag::ApertureValue:
            case tag::MaxApertureValue: {
                std::string value;
                if (auto fault = apexAperture(e, value))
                    return fault;
                append(e.tag == tag::ApertureValue ? kApertureLabel : "開放Ｆ値：", value);
                return std::nullopt;
            }
            case tag::ExposureBiasValue: {
                const Real x = divide(static_cast<std::int32_t>(e.numerator), e.denominator);
                if (x.fault)
                    return x.fault;
                const IntegerResult r = roundHalfEven(x.value * 10);
                if (r.fault)
                    return r.fault;
                const std::string value = (r.value > 0 ? "+" : "")
                    + generalFloat(static_cast<double>(r.value) / 10) + "(EV)";
                append("露出補正：", value);
                return std::nullopt;
            }
            case tag::MeteringMode:
                append("測光モード：", meteringModeName(e.number));
                return std::nullopt;
            case tag::Flash:
                append("フラッシュ発光：", e.number == 0 ? "OFF" : e.number == 1 ? "ON" : "不明");
                return std::nullopt;
            case tag::FocalLength: {
                const Real q = divide(e.numerator, e.denominator);
                if (q.fault)
                    return q.fault;
                append("焦点距離：", generalFloat(q.value), "mm");
                return std::nullopt;
            }
            case tag::PixelXDimension:
            case tag::PixelYDimension:
                pixelDimension(e.tag, e.number);
                return std::nullopt;
            default:
                return std::nullopt;
            }
        }

        std::vector<ExifRow> m_rows;
        bool m_shutterShown = false;
        bool m_apertureShown = false;
        std::string m_pixelWidth;
        std::string m_pixelHeight;
    };

} // namespace

ExifResult summaryRows(ByteSource &file, std::size_t cacheBytes)
{
    RowBuilder builder;
    ExifResult result;
    result.error = walkExif(file, builder, cacheBytes);
    result.rows = builder.takeRows();
    return result;
}

ExifResult summaryRows(std::span<const std::uint8_t> file)
{
    MemorySource source(file);
    return summaryRows(source);
}

ExifResult summaryRows(std::string_view file)
{
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): bytes viewed as bytes
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(file.data());
    return summaryRows(std::span<const std::uint8_t>(bytes, file.size()));
}

} // namespace morvane::exif
