// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of real camera files, checked against an independent reading of the same files by
// exiftool. exiftool's verbose listing gives each directory's entries in file order with their
// stored values (rationals as "num/den"), so the test knows which entries the walk meets and in
// which order, and compares the numbers behind each row rather than the row's text, since the
// rows round, truncate and convert (APEX) where exiftool does not.
#include "exif/exifcases.h"
#include "exif/exifrows.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using morvane::exif::ExifErrorKind;
using morvane::exif::ExifRow;

struct EtEntry
{
    std::string name;
    std::string value; // as exiftool prints it
    // A text's stored bytes from the hex dump, all of them: exiftool's value ends at the first
    // NUL, the rows keep what follows it.
    std::optional<std::string> stored;
    std::size_t storedSize = 0; // the byte count the dump announced
};

// The bytes of one hex dump line ("    0080: 4e 6f 6b ...  [Nok...]") appended to `out`, at most
// up to `size` bytes in all.
void hexLine(std::string_view line, std::string &out, std::size_t size)
{
    const std::size_t colon = line.find(": ");
    const std::size_t text = line.find("  [");
    if (colon == std::string_view::npos)
        return;
    std::istringstream in(std::string(line.substr(colon + 2, text - colon - 2)));
    std::string pair;
    while (out.size() < size && in >> pair && pair.size() == 2
        && std::isxdigit(static_cast<unsigned char>(pair[0]))
        && std::isxdigit(static_cast<unsigned char>(pair[1])))
        out += static_cast<char>(std::stoi(pair, nullptr, 16));
}

// The first Exif block of one file, as exiftool lists it.
struct EtFile
{
    std::vector<EtEntry> ifd0; // in file order, ExifOffset included
    std::vector<EtEntry> exifIfd;
};

std::string runCommand(const std::string &command, int &status)
{
    std::string out;
    FILE *p = ::popen(command.c_str(), "r");
    if (p == nullptr) {
        status = -1;
        return out;
    }
    char buf[65536];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    status = ::pclose(p);
    return out;
}

std::string shellQuote(const std::string &s)
{
    std::string q = "'";
    for (const char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

// One entry line of a directory listing: `prefix`, "N)", blanks, the tag name, then " = value"
// or " (SubDirectory) -->".
bool entryLine(std::string_view line, std::string_view prefix, EtEntry &out)
{
    if (line.substr(0, prefix.size()) != prefix)
        return false;
    line.remove_prefix(prefix.size());
    std::size_t i = 0;
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])))
        ++i;
    if (i == 0 || i >= line.size() || line[i] != ')')
        return false;
    ++i;
    while (i < line.size() && line[i] == ' ')
        ++i;
    const std::size_t nameStart = i;
    while (i < line.size() && (std::isalnum(static_cast<unsigned char>(line[i])) || line[i] == '_'))
        ++i;
    if (i == nameStart)
        return false;
    out.name = std::string(line.substr(nameStart, i - nameStart));
    const std::string_view rest = line.substr(i);
    if (rest == " (SubDirectory) -->") {
        out.value.clear();
        return true;
    }
    if (rest.substr(0, 3) != " = ")
        return false;
    out.value = std::string(rest.substr(3));
    return true;
}

// Splits exiftool's verbose listing by file and keeps the first IFD0 and the Exif directory
// nested in it.
std::map<std::string, EtFile> parseVerbose(const std::string &text)
{
    std::map<std::string, EtFile> files;
    EtFile *cur = nullptr;
    enum class Where { Before, Ifd0, ExifIfd, Done } where = Where::Before;
    std::istringstream in(text);
    std::string line;
    EtEntry *last = nullptr; // the entry whose hex dump may follow
    while (std::getline(in, line)) {
        if (last != nullptr && last->stored && last->stored->size() < last->storedSize
            && line.find(": ") != std::string::npos && line.find(" = ") == std::string::npos) {
            hexLine(line, *last->stored, last->storedSize);
            continue;
        }
        if (const std::size_t tagAt = line.find("- Tag 0x"); last != nullptr
            && tagAt != std::string::npos && line.find("string[") != std::string::npos) {
            last->storedSize = std::stoul(line.substr(line.find('(', tagAt) + 1));
            last->stored.emplace();
            continue;
        }
        if (line.rfind("======== ", 0) == 0) {
            cur = &files[fs::path(line.substr(9)).filename().string()];
            where = Where::Before;
            continue;
        }
        if (cur == nullptr || where == Where::Done)
            continue;
        if (line.rfind("  + [IFD0 directory", 0) == 0) {
            where = where == Where::Before ? Where::Ifd0 : Where::Done;
            continue;
        }
        if (where == Where::Before)
            continue;
        if (line.rfind("  | + [ExifIFD directory", 0) == 0) {
            where = Where::ExifIfd;
            continue;
        }
        EtEntry e;
        if (entryLine(line, "  | ", e)) {
            where = Where::Ifd0;
            cur->ifd0.push_back(e);
            last = &cur->ifd0.back();
        } else if (where == Where::ExifIfd && entryLine(line, "  | | ", e)) {
            cur->exifIfd.push_back(e);
            last = &cur->exifIfd.back();
        } else if (line.rfind("  | ", 0) != 0) {
            where = Where::Done; // the end of IFD0 and everything nested in it
        }
    }
    return files;
}

// The stored fraction of a rational: the first "num/den" in the parentheses exiftool appends.
bool fraction(const std::string &v, double &num, double &den)
{
    const std::size_t open = v.find('(');
    if (open == std::string::npos)
        return false;
    const char *p = v.data() + open + 1;
    const char *end = v.data() + v.size();
    long long n = 0, d = 0;
    const auto r1 = std::from_chars(p, end, n);
    if (r1.ec != std::errc() || r1.ptr == end || *r1.ptr != '/')
        return false;
    const auto r2 = std::from_chars(r1.ptr + 1, end, d);
    if (r2.ec != std::errc())
        return false;
    num = static_cast<double>(n);
    den = static_cast<double>(d);
    return true;
}

long long firstInteger(const std::string &v)
{
    return std::stoll(v);
}

std::string rtrim(std::string s)
{
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32)
        s.pop_back();
    return s;
}

bool parseNumber(std::string_view s, double &out)
{
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && p == s.data() + s.size();
}

bool stripSuffix(std::string_view &s, std::string_view suffix)
{
    if (s.size() < suffix.size() || s.substr(s.size() - suffix.size()) != suffix)
        return false;
    s.remove_suffix(suffix.size());
    return true;
}

bool near(double a, double b, double tolerance)
{
    return std::fabs(a - b) <= tolerance;
}

// What one row must show, in terms of exiftool's numbers.
struct Expected
{
    std::string label;
    std::string kind; // the exiftool tag name
    std::string text; // texts, names and sizes: the exact value
    double num = 0, den = 0;
};

const std::map<long long, std::string> &programNames()
{
    static const std::map<long long, std::string> m = {{1, "マニュアル"},
        {2, "プログラム"},
        {3, "絞り優先AE"},
        {4, "シャッター速度優先AE"},
        {5, "低速プログラムAE"},
        {6, "高速プログラムAE"},
        {7, "ポートレイト"}};
    return m;
}

const std::map<long long, std::string> &meteringNames()
{
    static const std::map<long long, std::string> m = {{1, "平均測光"},
        {2, "中央部重点測光"},
        {3, "スポット測光"},
        {4, "多点スポット測光"},
        {5, "マルチパターン測光"}};
    return m;
}

std::string nameOr(const std::map<long long, std::string> &m, long long v)
{
    const auto it = m.find(v);
    return it == m.end() ? "不明" : it->second;
}

// The rows the walk must produce for the entries exiftool lists, and the error it must end with.
struct Expectation
{
    std::vector<Expected> rows;
    std::optional<ExifErrorKind> error;
};

Expectation expect(const std::vector<EtEntry> &walk)
{
    Expectation out;
    bool shutterShown = false;
    bool apertureShown = false;
    std::string width, height;
    const auto zeroFault = [](double num, double den) -> std::optional<ExifErrorKind> {
        if (den != 0)
            return std::nullopt;
        return num == 0 ? ExifErrorKind::InvalidOperation : ExifErrorKind::DivisionByZero;
    };
    for (const EtEntry &e : walk) {
        const std::string &n = e.name;
        double num = 0, den = 0;
        const auto rational = [&](const char *label) {
            if (!fraction(e.value, num, den))
                return false;
            if ((out.error = zeroFault(num, den)))
                return false;
            out.rows.push_back({label, n, {}, num, den});
            return true;
        };
        const auto text = [&](const char *label) {
            // Bytes below 0x14, NULs included, are dropped wherever they stand.
            std::string kept;
            const bool whole = e.stored && e.stored->size() == e.storedSize;
            for (const char c : whole ? *e.stored : e.value) {
                if (static_cast<unsigned char>(c) >= 0x14)
                    kept += c;
            }
            if (!rtrim(kept).empty())
                out.rows.push_back({label, n, rtrim(kept)});
        };
        if (n == "Make") {
            text("メーカー名：");
        } else if (n == "Model") {
            text("製品名：");
        } else if (n == "DateTimeOriginal") {
            text("撮影日時：");
        } else if (n == "ExposureTime") {
            if (!fraction(e.value, num, den))
                continue;
            // The reciprocal is taken when the denominator is larger, so a zero numerator fails.
            const bool reciprocal = den > num;
            if ((out.error = reciprocal ? zeroFault(den, num) : zeroFault(num, den)))
                break;
            out.rows.push_back({"シャッター速度：", n, {}, num, den});
            shutterShown = true;
        } else if (n == "ShutterSpeedValue") {
            if (!shutterShown && !rational("シャッター速度：") && out.error)
                break;
        } else if (n == "FNumber") {
            if (rational("絞り値："))
                apertureShown = true;
            else if (out.error)
                break;
        } else if (n == "ApertureValue") {
            if (!apertureShown && !rational("絞り値：") && out.error)
                break;
        } else if (n == "MaxApertureValue") {
            if (!rational("開放Ｆ値：") && out.error)
                break;
        } else if (n == "ExposureCompensation") {
            if (!rational("露出補正：") && out.error)
                break;
        } else if (n == "CompressedBitsPerPixel") {
            if (!rational("ＪＰＥＧ圧縮率：") && out.error)
                break;
        } else if (n == "FocalLength") {
            if (!rational("焦点距離：") && out.error)
                break;
        } else if (n == "ISO") {
            out.rows.push_back({"ＩＳＯ感度：", n, std::to_string(firstInteger(e.value))});
        } else if (n == "ExposureProgram") {
            out.rows.push_back({"露出モード：", n, nameOr(programNames(), firstInteger(e.value))});
        } else if (n == "MeteringMode") {
            out.rows.push_back({"測光モード：", n, nameOr(meteringNames(), firstInteger(e.value))});
        } else if (n == "Flash") {
            const long long v = firstInteger(e.value);
            out.rows.push_back({"フラッシュ発光：", n, v == 0 ? "OFF" : v == 1 ? "ON" : "不明"});
        } else if (n == "ExifImageWidth" || n == "ExifImageHeight") {
            (n == "ExifImageWidth" ? width : height) = std::to_string(firstInteger(e.value));
            if (!width.empty() && !height.empty())
                out.rows.push_back({"画像サイズ：", n, width + "×" + height});
        }
    }
    return out;
}

// Checks one of our rows against what exiftool's numbers say it must show.
std::string mismatch(const ExifRow &row, const Expected &e)
{
    if (row.label != e.label)
        return "label " + row.label + " instead of " + e.label;
    std::string_view v = row.value;
    double got = 0;
    const double x = e.den != 0 ? e.num / e.den : 0;
    const std::string bad = "value " + row.value + " for " + e.kind + " " + std::to_string(e.num)
        + "/" + std::to_string(e.den);
    if (e.kind == "Make" || e.kind == "Model" || e.kind == "DateTimeOriginal")
        return rtrim(row.value) == e.text ? "" : "text " + row.value + " instead of " + e.text;
    if (e.kind == "ExposureTime") {
        const bool reciprocal = v.substr(0, 2) == "1/";
        if (reciprocal)
            v.remove_prefix(2);
        if (!stripSuffix(v, "(s)") || !parseNumber(v, got))
            return bad;
        const double seconds = reciprocal ? 1 / got : got;
        return near(seconds, x, 1e-12 * x) && reciprocal == (e.den > e.num) ? "" : bad;
    }
    if (e.kind == "ShutterSpeedValue") {
        // 2^Tv rounded: a denominator, or whole seconds for a negative value.
        const bool fractionShown = v.substr(0, 2) == "1/";
        if (fractionShown)
            v.remove_prefix(2);
        if (!parseNumber(v, got))
            return bad;
        const double expected = std::exp2(std::fabs(x));
        return near(got, expected, 0.5 + 1e-9 * expected) && fractionShown == (x >= 0) ? "" : bad;
    }
    if (e.kind == "FNumber")
        return parseNumber(v, got) && near(got, x, 1e-12 * x) ? "" : bad;
    if (e.kind == "FocalLength")
        return stripSuffix(v, "mm") && parseNumber(v, got) && near(got, x, 1e-12 * x) ? "" : bad;
    if (e.kind == "ApertureValue" || e.kind == "MaxApertureValue")
        return parseNumber(v, got) && near(got, std::exp2(x / 2), 0.05 + 1e-9) ? "" : bad;
    if (e.kind == "ExposureCompensation") {
        const bool plus = !v.empty() && v.front() == '+';
        if (plus)
            v.remove_prefix(1);
        if (!stripSuffix(v, "(EV)") || !parseNumber(v, got))
            return bad;
        return near(got, x, 0.05 + 1e-9) && plus == (got > 0) ? "" : bad;
    }
    if (e.kind == "CompressedBitsPerPixel") {
        if (!stripSuffix(v, "/1") || !parseNumber(v, got))
            return bad;
        return got <= x + 1e-9 && got > x - 1 ? "" : bad;
    }
    return row.value == e.text ? "" : "value " + row.value + " instead of " + e.text;
}

std::vector<std::uint8_t> readFile(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A missing exiftool fails the comparisons instead of letting them pass unseen.
constexpr const char *kNoExiftool =
    "exiftool is not installed (Debian package libimage-exiftool-perl; scripts/setup installs it)";

bool haveExiftool()
{
    int status = 0;
    runCommand("exiftool -ver 2>/dev/null", status);
    return status == 0;
}

// What the comparison of one folder met, by kind of file.
struct SampleCounts
{
    int compared = 0; // Exif first, with a pointer: rows checked against exiftool
    int noExif = 0; // first segment not APP1, and no Exif segment among the leading ones
    int exifLater = 0; // first segment not APP1, an Exif segment after it (counted in compared)
    int notExifSegment = 0; // an APP1 first that is not Exif (XMP)
    int noPointer = 0; // Exif first without an Exif pointer
    std::size_t rowsCompared = 0;
};

// Compares the rows of every JPEG file in `dir` with exiftool's reading of it; fatal failures
// leave `counts` partly filled.
void compareFolder(const fs::path &dir, SampleCounts &counts)
{
    ASSERT_TRUE(haveExiftool()) << kNoExiftool;
    int status = 0;
    const std::string listing = runCommand(
        "exiftool -v3 -ext jpg -ext jpeg " + shellQuote(dir.string()) + " 2>/dev/null", status);
    ASSERT_EQ(status, 0);
    const auto et = parseVerbose(listing);

    for (const auto &item : fs::directory_iterator(dir)) {
        const fs::path p = item.path();
        const std::string ext = p.extension().string();
        if (ext != ".jpg" && ext != ".jpeg")
            continue;
        const std::string name = p.filename().string();
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> bytes = readFile(p);
        const auto result = morvane::exif::summaryRows(bytes);
        ASSERT_GE(bytes.size(), 12u);
        ASSERT_EQ(bytes[0], 0xFF); // every sample starts with its start-of-image marker
        ASSERT_EQ(bytes[1], 0xD8);

        const bool app1First = bytes[2] == 0xFF && bytes[3] == 0xE1;
        if (!app1First && (!et.count(name) || et.at(name).ifd0.empty())) {
            // JFIF and other files whose first segment is not APP1, without Exif after it.
            ++counts.noExif;
            ASSERT_EQ(result.rows.size(), 1u);
            EXPECT_EQ(result.rows[0], (ExifRow {"Exif情報：", "なし"}));
            EXPECT_FALSE(result.error);
            continue;
        }
        if (app1First
            && std::string(bytes.begin() + 6, bytes.begin() + 12) != std::string("Exif\0\0", 6)) {
            ++counts.notExifSegment; // an XMP segment first: the narrow reader's result is not Exif
            continue;
        }
        ASSERT_TRUE(et.count(name)) << "exiftool did not list the file";
        const EtFile &f = et.at(name);
        if (!app1First)
            ++counts.exifLater; // an Exif segment after a JFIF segment: compared like the rest
        std::vector<EtEntry> walk;
        bool pointer = false;
        for (const EtEntry &e : f.ifd0) {
            if (e.name == "ExifOffset") {
                pointer = true;
                break;
            }
            walk.push_back(e);
        }
        if (!pointer) {
            // Without a pointer the walk goes on through bytes that are not entries.
            ++counts.noPointer;
            continue;
        }
        walk.insert(walk.end(), f.exifIfd.begin(), f.exifIfd.end());
        const Expectation want = expect(walk);
        ++counts.compared;
        counts.rowsCompared += want.rows.size();
        ASSERT_EQ(result.rows.size(), want.rows.size());
        for (std::size_t i = 0; i < want.rows.size(); ++i) {
            EXPECT_EQ(mismatch(result.rows[i], want.rows[i]), "") << "row " << i;
        }
        EXPECT_EQ(morvane::exiftest::errorText(
                      result.error ? std::optional(result.error->kind) : std::nullopt),
            morvane::exiftest::errorText(want.error));
    }
    std::printf("compared %zu rows of %d files in %s with exiftool (%d with Exif after another"
                " segment); %d without Exif, %d with another APP1 first, %d without an Exif"
                " pointer\n",
        counts.rowsCompared,
        counts.compared,
        dir.c_str(),
        counts.exifLater,
        counts.noExif,
        counts.notExifSegment,
        counts.noPointer);
}

// The camera files kept in the repository (tests/data/exif, listed with their sources in its
// SOURCES.tsv): the comparison runs wherever the tests run.
TEST(ExifSamplesTest, RowsAgreeWithAnIndependentReader)
{
    SampleCounts counts;
    compareFolder(MORVANE_EXIF_DATA, counts);
    if (HasFatalFailure())
        return;
    // The 41 files by their first bytes: 11 start with another segment than APP1 (JFIF, a
    // quantisation table, Photoshop), 5 of them with an Exif segment after the JFIF one; one
    // starts with an XMP APP1; 29 with Exif, each with an Exif pointer. A different split means
    // files went unread, not that the reader changed.
    EXPECT_EQ(counts.noExif, 6);
    EXPECT_EQ(counts.exifLater, 5);
    EXPECT_EQ(counts.notExifSegment, 1);
    EXPECT_EQ(counts.noPointer, 0);
    EXPECT_EQ(counts.compared, 34);
    EXPECT_GE(counts.rowsCompared, 300u);
}

// The larger set of camera files beside the repository, when there is one (the CMake variable
// MORVANE_EXIF_SAMPLES): more makers and both byte orders from more cameras.
TEST(ExifSamplesTest, RowsOfTheLargerSetAgreeWithAnIndependentReader)
{
    const fs::path dir = MORVANE_EXIF_SAMPLES;
    if (!fs::is_directory(dir))
        GTEST_SKIP() << "no larger camera set at " << dir
                     << " (set the CMake variable MORVANE_EXIF_SAMPLES to compare it too)";
    SampleCounts counts;
    compareFolder(dir, counts);
    if (HasFatalFailure())
        return;
    // The set holds about 60 camera files with Exif first; far fewer means the comparison itself
    // broke (a changed listing format, say), not that the files changed.
    EXPECT_GE(counts.compared, 50);
    EXPECT_GE(counts.rowsCompared, 500u);
}

} // namespace

namespace {

// The test files built in code are themselves checked by the independent reader: every TIFF type
// the builder writes, in both byte orders, inline and at offsets, reads back as intended, and the
// rows of such a file agree with exiftool's reading the same way as for camera files.
TEST(ExifSamplesTest, BuiltFilesReadTheSameInExiftool)
{
    using morvane::testsupport::TiffBuilder;
    using morvane::testsupport::TiffType;
    namespace tag = morvane::exif::tag;
    ASSERT_TRUE(haveExiftool()) << kNoExiftool;
    int status = 0;
    const fs::path dir =
        fs::temp_directory_path() / ("morvane-exif-built-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (const auto order :
        {morvane::testsupport::ByteOrder::Little, morvane::testsupport::ByteOrder::Big}) {
        const bool big = order == morvane::testsupport::ByteOrder::Big;
        SCOPED_TRACE(big ? "MM" : "II");
        TiffBuilder b(order);
        const std::size_t d = b.addIfd();
        b.ascii(0, tag::Make, "Canon");
        b.ascii(0, tag::Model, "EOS");
        b.pointer(0, tag::ExifPointer, d);
        b.rational(d, tag::ExposureTime, 1, 125);
        b.rational(d, tag::FNumber, 28, 10);
        b.shortValue(d, tag::ExposureProgram, 3);
        b.shorts(d, tag::IsoSpeedRatings, {400, 0});
        b.bytes(d, 0x9000, TiffType::Undefined, {'0', '2', '3', '0'});
        b.ascii(d, tag::DateTimeOriginal, "2004:05:12 10:20:30");
        b.srational(d, tag::ShutterSpeedValue, 7, 1);
        b.srational(d, tag::ExposureBiasValue, -2, 3);
        b.rational(d, tag::MaxApertureValue, 3, 1);
        b.shortValue(d, tag::MeteringMode, 5);
        b.shortValue(d, tag::Flash, 1);
        b.rational(d, tag::FocalLength, 74, 10);
        b.longValue(d, tag::PixelXDimension, 70000);
        b.longValue(d, tag::PixelYDimension, 480);
        b.sshorts(d, 0xC001, {-5, 7});
        b.slongs(d, 0xC002, {-100000});
        b.floats(d, 0xC003, {1.5F});
        b.doubles(d, 0xC004, {-2.25});
        b.bytes(d, 0xC005, TiffType::Byte, {1, 2, 3, 4, 5});
        b.bytes(d, 0xC006, TiffType::SByte, {0xFF});
        b.longs(d, 0xC007, {1, 4294967295U});
        const std::vector<std::uint8_t> bytes = morvane::testsupport::exifJpeg(b.build().bytes);
        const fs::path file = dir / (big ? "mm.jpg" : "ii.jpg");
        {
            std::ofstream out(file, std::ios::binary);
            out.write(reinterpret_cast<const char *>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
        }
        const std::string listing =
            runCommand("exiftool -v1 -u " + shellQuote(file.string()) + " 2>/dev/null", status);
        ASSERT_EQ(status, 0);
        // A single file has no "========" header line; give it one.
        const auto et = parseVerbose("======== " + file.string() + "\n" + listing);
        ASSERT_TRUE(et.count(file.filename().string()));
        const EtFile &f = et.at(file.filename().string());
        std::map<std::string, std::string> values;
        for (const EtEntry &e : f.exifIfd)
            values[e.name] = e.value;
        const std::map<std::string, std::string> written = {
            {"DateTimeOriginal", "2004:05:12 10:20:30"},
            {"ExifImageHeight", "480"},
            {"ExifImageWidth", "70000"},
            {"ExifVersion", "0230"},
            {"Exif_0xc001", "-5 7"},
            {"Exif_0xc002", "-100000"},
            {"Exif_0xc003", "1.5"},
            {"Exif_0xc004", "-2.25"},
            {"Exif_0xc005", "1 2 3 4 5"},
            {"Exif_0xc006", "-1"},
            {"Exif_0xc007", "1 4294967295"},
            {"ExposureCompensation", "-0.6666666667 (-2/3)"},
            {"ExposureProgram", "3"},
            {"ExposureTime", "0.008 (1/125)"},
            {"FNumber", "2.8 (28/10)"},
            {"Flash", "1"},
            {"FocalLength", "7.4 (74/10)"},
            {"ISO", "400 0"},
            {"MaxApertureValue", "3 (3/1)"},
            {"MeteringMode", "5"},
            {"ShutterSpeedValue", "7 (7/1)"},
        };
        EXPECT_EQ(values, written);
        ASSERT_EQ(f.ifd0.size(), 3u);
        EXPECT_EQ(f.ifd0[0].value, "Canon");
        EXPECT_EQ(f.ifd0[1].value, "EOS");
        EXPECT_EQ(f.ifd0[2].name, "ExifOffset");

        std::vector<EtEntry> walk(f.ifd0.begin(), f.ifd0.begin() + 2);
        walk.insert(walk.end(), f.exifIfd.begin(), f.exifIfd.end());
        const Expectation want = expect(walk);
        const auto result = morvane::exif::summaryRows(bytes);
        ASSERT_EQ(result.rows.size(), want.rows.size());
        for (std::size_t i = 0; i < want.rows.size(); ++i)
            EXPECT_EQ(mismatch(result.rows[i], want.rows[i]), "") << "row " << i;
        EXPECT_FALSE(result.error);
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
}

} // namespace
