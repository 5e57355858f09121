// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "frame/settingsfile.h"

#include <QString>
#include <QStringList>

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

    // Where the program keeps its settings: "morvane.ini" in `programDir` when a file of that
    // name already stands there (a portable copy the user put there on purpose), otherwise
    // "morvane/morvane.ini" in `configDir`. So an installed program never writes beside itself,
    // even when run by a user who could.
    [[nodiscard]] static QString locate(const QString &programDir, const QString &configDir);
    // locate() for the running program's folder and $XDG_CONFIG_HOME (~/.config).
    [[nodiscard]] static QString defaultPath();

private:
    QString m_path;
    app::SettingsFile m_file;
    QStringList m_rejected;
};

} // namespace morvane
