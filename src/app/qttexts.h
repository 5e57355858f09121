// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTranslator>

namespace morvane {

// Japanese for the few toolkit texts that Qt's own catalogue lacks or spells otherwise than the
// program's windows: the file dialog's type column ("フォルダー", "ファイル" ...) and
// "コンピューター". Installed after Qt's catalogue, so it is asked first; any other text falls
// through to Qt's. UI thread.
class QtTextsJa final : public QTranslator
{
public:
    using QTranslator::QTranslator;

    [[nodiscard]] QString translate(const char *context,
        const char *sourceText,
        const char *disambiguation = nullptr,
        int n = -1) const override;
    [[nodiscard]] bool isEmpty() const override { return false; }
};

} // namespace morvane
