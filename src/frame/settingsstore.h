// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "frame/settingsfile.h"

#include <QAction>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <span>

namespace morvane {

// A settings object on one file path: reads the whole file when created (at most its first MiB,
// cut at the last whole line; a missing or unreadable file, or one that is no regular file, reads
// as empty), offers typed reads and
// writes per section and key (texts converted between UTF-8 and code page 932 here), and writes
// the whole file back atomically (a temporary file in the same folder renamed over the old one,
// so a crash never leaves half a file). UI thread only.
class SettingsStore
{
public:
    explicit SettingsStore(QString path);

    [[nodiscard]] int readInteger(const QString &section, const QString &key, int def) const;
    [[nodiscard]] bool readBool(const QString &section, const QString &key, bool def) const;
    // Reads radio group `prefix` of `section` (keys prefix1..prefixN, table order) onto `items`,
    // the actions of one exclusive group: the item the keys leave checked, or `designDefault`
    // when they leave none.
    void readRadioGroup(const QString &section,
        const QString &prefix,
        std::span<QAction *const> items,
        std::size_t designDefault) const;
    [[nodiscard]] QString readString(
        const QString &section, const QString &key, const QString &def) const;
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);
    void writeString(const QString &section, const QString &key, const QString &value);

    // Text that code page 932 cannot hold (for example "é" in a program path) or that holds a line
    // break is refused: the key keeps its old value and is noted in rejectedKeys(). Writing back
    // exactly what readString() gave keeps the entry's own bytes. The write functions above do
    // the same; this one also returns whether the value was stored.
    [[nodiscard]] bool tryWriteString(
        const QString &section, const QString &key, const QString &value);

    // "Section/Key" of every refused write of this object, in order; and a Japanese message
    // naming them for the user (empty when nothing was refused).
    [[nodiscard]] QStringList rejectedKeys() const;
    [[nodiscard]] QString rejectedMessage() const;

    // Writes the file back. On failure returns false and sets `errorMessage` to a Japanese
    // message naming the file and the system's reason; the old file is left untouched.
    [[nodiscard]] bool save(QString *errorMessage);

    [[nodiscard]] const QString &path() const noexcept { return m_path; }

    // Where the program keeps its settings: "morvane.ini" beside the executable when a file of
    // that name already stands there, otherwise $XDG_CONFIG_HOME/morvane/morvane.ini (~/.config
    // when the variable is unset or not an absolute path). save() creates the folder.
    [[nodiscard]] static QString defaultPath();
    // The same for an executable in `exeDir` (reads the environment).
    [[nodiscard]] static QString defaultPathFor(const QString &exeDir);

private:
    QString m_path;
    app::SettingsFile m_file;
    QStringList m_rejected;
};

} // namespace morvane
