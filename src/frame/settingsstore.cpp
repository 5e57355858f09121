// SPDX-License-Identifier: GPL-3.0-or-later
#include "frame/settingsstore.h"

#include "platform/cp932.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace morvane {
namespace {

    // A settings file is a few hundred bytes; anything past this is not ours and is not read.
    constexpr qint64 kReadCap = 1024 * 1024;

    std::string toFileBytes(const QString &text, bool *ok)
    {
        const QByteArray utf8 = text.toUtf8();
        platform::Cp932Strict r = platform::toCp932Strict(
            std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        *ok = r.ok;
        return std::move(r.bytes);
    }

    QString fromFileBytes(const std::string &bytes)
    {
        const std::string utf8 = platform::fromCp932(bytes);
        return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    }

    QByteArray readCapped(const QString &path)
    {
        // Only a regular file is read: a fifo or a device in its place would block or never end.
        if (!QFileInfo(path).isFile())
            return {};
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QByteArray bytes = file.read(kReadCap);
        // A file cut at the cap ends at its last whole line, so no entry is read half.
        if (bytes.size() == kReadCap && !file.atEnd()) {
            const qsizetype lastBreak = std::max(bytes.lastIndexOf('\n'), bytes.lastIndexOf('\r'));
            bytes.truncate(lastBreak < 0 ? 0 : lastBreak + 1);
        }
        return bytes;
    }

} // namespace

SettingsStore::SettingsStore(QString path)
    : m_path(std::move(path))
{
    const QByteArray bytes = readCapped(m_path);
    m_file = app::SettingsFile::parse(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

int SettingsStore::readInteger(const QString &section, const QString &key, int def) const
{
    bool okSection = false;
    bool okKey = false;
    const std::string s = toFileBytes(section, &okSection);
    const std::string k = toFileBytes(key, &okKey);
    if (!okSection || !okKey)
        return def;
    return m_file.readInteger(s, k, def);
}

bool SettingsStore::readBool(const QString &section, const QString &key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void SettingsStore::readRadioGroup(const QString &section,
    const QString &prefix,
    std::span<QAction *const> items,
    std::size_t designDefault) const
{
    std::vector<bool> checked;
    for (QAction *a : items)
        checked.push_back(a->isChecked());
    const std::vector<bool> result = app::applyRadioGroup(
        checked,
        [&](std::size_t i, bool def) {
            return readBool(section, prefix + QString::number(i + 1), def);
        },
        designDefault);
    // Exactly one item is left checked; checking it unchecks the others of its group.
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (result[i])
            items[i]->setChecked(true);
    }
}

QString SettingsStore::readString(
    const QString &section, const QString &key, const QString &def) const
{
    bool okSection = false;
    bool okKey = false;
    const std::string s = toFileBytes(section, &okSection);
    const std::string k = toFileBytes(key, &okKey);
    if (!okSection || !okKey || !m_file.hasValue(s, k))
        return def;
    return fromFileBytes(m_file.readString(s, k, {}));
}

void SettingsStore::writeInteger(const QString &section, const QString &key, int value)
{
    (void)tryWriteString(section, key, QString::number(value));
}

void SettingsStore::writeBool(const QString &section, const QString &key, bool value)
{
    (void)tryWriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void SettingsStore::writeString(const QString &section, const QString &key, const QString &value)
{
    (void)tryWriteString(section, key, value);
}

bool SettingsStore::tryWriteString(const QString &section, const QString &key, const QString &value)
{
    bool okSection = false;
    bool okKey = false;
    bool okValue = false;
    const std::string s = toFileBytes(section, &okSection);
    const std::string k = toFileBytes(key, &okKey);
    const std::string v = toFileBytes(value, &okValue);
    if (okSection && okKey && m_file.hasValue(s, k) && readString(section, key, {}) == value) {
        // Writing back what was read keeps the entry's own bytes, even bytes that are not code
        // page 932 (they read as U+FFFD and could not be written again).
        return true;
    }
    if (okSection && okKey && okValue && m_file.tryWriteString(s, k, v))
        return true;
    // Code page 932 cannot hold the text (or it holds a line break): the old value stays, so the
    // file never holds a corrupted path or title, and the caller learns which key was refused.
    const QString name = section + QLatin1Char('/') + key;
    if (!m_rejected.contains(name))
        m_rejected.append(name);
    return false;
}

QStringList SettingsStore::rejectedKeys() const
{
    return m_rejected;
}

QString SettingsStore::rejectedMessage() const
{
    if (m_rejected.isEmpty())
        return {};
    return QStringLiteral("次の設定は保存できない文字を含むため、前の値のままにしました: %1")
        .arg(m_rejected.join(QStringLiteral(", ")));
}

bool SettingsStore::save(QString *errorMessage)
{
    const auto fail = [&](const QString &reason) {
        if (errorMessage != nullptr) {
            *errorMessage = QStringLiteral("設定ファイル「%1」を保存できませんでした。\n%2")
                                .arg(QDir::toNativeSeparators(m_path), reason);
        }
        return false;
    };
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath()))
        return fail(QStringLiteral("フォルダー「%1」を作成できません。")
                        .arg(QDir::toNativeSeparators(info.absolutePath())));

    const std::string bytes = m_file.serialize();
    // The new content goes to a temporary file in the same folder that is renamed over the old
    // file only when every byte is on disk; a crash or a full disk leaves the old file whole.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

QString SettingsStore::defaultPath()
{
    return defaultPathFor(QCoreApplication::applicationDirPath());
}

QString SettingsStore::defaultPathFor(const QString &exeDir)
{
    // A settings file beside the executable is used only when the user put it there (a portable
    // copy); otherwise an installed program would write into /usr/bin, and a build tree into its
    // own output folder.
    if (!exeDir.isEmpty()) {
        const QString beside = QDir(exeDir).filePath(QStringLiteral("morvane.ini"));
        if (QFileInfo(beside).isFile())
            return beside;
    }
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base directory rules say.
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return QDir(config).filePath(QStringLiteral("morvane/morvane.ini"));
}

} // namespace morvane
