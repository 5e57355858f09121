// SPDX-License-Identifier: GPL-3.0-or-later
// exif FILE: the Exif rows that the main window appends for FILE, one "label<TAB>value" line
// each, then "error<TAB>message" when the walk ended with a failure.
#include "browser/exifbytes.h"
#include "cli/commands.h"
#include "exif/exifrows.h"

#include <cstdio>

namespace morvane::cli {

int runExif(const std::vector<std::string> &args)
{
    if (args.size() != 1) {
        std::fputs("usage: morvane-cli exif FILE\n", stderr);
        return 2;
    }
    const std::string &path = args[0];
    // Read on demand, as the main window reads it: a file that shrinks meanwhile ends the walk
    // with the read error.
    browser::ExifBytes file(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
    if (file.status() != browser::ExifBytes::Status::Ok) {
        std::fprintf(
            stderr, "%s\n", exif::makeError(exif::ExifErrorKind::OpenFailed, path).message.c_str());
        return 2;
    }
    const exif::ExifResult result = exif::summaryRows(file);
    for (const exif::ExifRow &row : result.rows)
        std::printf("%s\t%s\n", row.label.c_str(), row.value.c_str());
    if (result.error) {
        std::printf("error\t%s\n", result.error->message.c_str());
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace morvane::cli
