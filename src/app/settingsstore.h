// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/settingsfile.h"

#include <QString>

namespace morvane {

// A settings object on one file path: reads the whole file when created, offers typed reads and
// writes per section and key (texts converted between UTF-8 and code page 932 here), and writes
// the whole file back atomically (a temporary file in the same folder renamed over the old one,
// so a crash never leaves half a file). UI thread only.
class SettingsStore
{
public:
    explicit SettingsStore(QString path);

    [[nodiscard]] int readInteger(const QString &section, const QString &key, int def) const;
    [[nodiscard]] bool readBool(const QString &section, const QString &key, bool def) const;
    [[nodiscard]] QString readString(
        const QString &section, const QString &key, const QString &def) const;
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);
    void writeString(const QString &section, const QString &key, const QString &value);

    // Writes the file back. On failure returns false and sets `errorMessage` to a Japanese
    // message naming the file and the system's reason; the old file is left untouched.
    [[nodiscard]] bool save(QString *errorMessage);

    [[nodiscard]] const QString &path() const noexcept { return m_path; }

    // Where the program keeps its settings: "morvane.ini" beside the executable when that folder
    // is writable, otherwise $XDG_CONFIG_HOME/morvane/morvane.ini.
    [[nodiscard]] static QString defaultPath();

private:
    QString m_path;
    app::SettingsFile m_file;
};

} // namespace morvane
