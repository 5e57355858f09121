// SPDX-License-Identifier: GPL-3.0-or-later
// The file operations' questions answered without asking anyone: every question gets no, and
// each one and every failure gets a line on standard error.
#pragma once

#include "files/fileoperations.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <string>
#include <string_view>

namespace morvane::cli {

// The length of the well-formed UTF-8 sequence at the start of `s`, 0 when there is none.
inline std::size_t utf8Length(std::string_view s)
{
    const auto b = [&](std::size_t i) {
        return static_cast<unsigned char>(s[i]);
    };
    const unsigned char lead = b(0);
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF; // the allowed range of the second byte
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        n = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        n = 3, low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
    else if (lead >= 0xF0 && lead <= 0xF4)
        n = 4, low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
    if (n == 0 || s.size() < n || b(1) < low || b(1) > high)
        return 0;
    for (std::size_t i = 2; i < n; ++i) {
        if (b(i) < 0x80 || b(i) > 0xBF)
            return 0;
    }
    return n;
}

// Names come from file systems and may hold control characters; written raw they would break
// the one-line-per-item output or drive the terminal. They are shown as \xHH (a line break as a
// blank when `breakAsBlank`). With `escapeNonUtf8` a byte that is not part of well-formed UTF-8
// is shown so too (where a name is only shown, never used as a name again).
inline std::string printable(
    std::string_view s, bool breakAsBlank = false, bool escapeNonUtf8 = false)
{
    std::string out;
    out.reserve(s.size());
    while (!s.empty()) {
        const auto b = static_cast<unsigned char>(s.front());
        const std::size_t n = escapeNonUtf8 ? utf8Length(s) : 1;
        if (b == '\n' && breakAsBlank) {
            out += ' ';
        } else if (n == 0 || b < 0x20 || b == 0x7F) {
            char buf[5];
            std::snprintf(buf, sizeof buf, "\\x%02X", b);
            out += buf;
        } else {
            out.append(s.substr(0, n));
            s.remove_prefix(n - 1);
        }
        s.remove_prefix(1);
    }
    return out;
}

// Messages name files; one stderr line each.
inline void say(const char *command, const QString &message)
{
    const std::string line =
        std::string(command) + ": " + printable(message.toUtf8().toStdString(), true) + '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

// Answers every question with no, and says so.
class ConsolePrompter final : public files::Prompter
{
public:
    explicit ConsolePrompter(const char *command)
        : m_command(command)
    {}
    files::ReplaceAnswer askReplace(const QByteArray &, const QByteArray &target, bool) override
    {
        say(m_command,
            QStringLiteral("「%1」は既にあるため、置き換えずにスキップしました。")
                .arg(QString::fromLocal8Bit(target)));
        return files::ReplaceAnswer::No;
    }
    bool confirm(const QString &question) override
    {
        say(m_command, question + QStringLiteral(" → いいえ（ファイルはそのままです）"));
        return false;
    }
    void reportError(const QString &message) override { say(m_command, message); }

private:
    const char *m_command;
};

} // namespace morvane::cli
