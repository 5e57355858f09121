// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qttexts.h"

#include <cstring>

namespace morvane {

QString QtTextsJa::translate(
    const char *context, const char *sourceText, const char * /*disambiguation*/, int /*n*/) const
{
    struct Text
    {
        const char *context;
        const char *source;
        const char *japanese;
    };
    // clang-format off
    static constexpr Text kTexts[] = {
        {"QAbstractFileIconProvider", "Folder", "フォルダー"},
        {"QAbstractFileIconProvider", "File", "ファイル"},
        {"QAbstractFileIconProvider", "%1 File", "%1 ファイル"},
        {"QAbstractFileIconProvider", "Drive", "ドライブ"},
        {"QAbstractFileIconProvider", "Shortcut", "ショートカット"},
        {"QFileDialog", "Folder", "フォルダー"},
        {"QFileDialog", "My Computer", "コンピューター"},
        {"QFileSystemModel", "My Computer", "コンピューター"},
        {"QFileSystemModel", "Computer", "コンピューター"},
    };
    // clang-format on
    if (context == nullptr || sourceText == nullptr)
        return {};
    for (const Text &t : kTexts) {
        if (std::strcmp(t.context, context) == 0 && std::strcmp(t.source, sourceText) == 0)
            return QString::fromUtf8(t.japanese);
    }
    return {};
}

} // namespace morvane
