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

// Names come from file systems and may hold control characters; written raw they would break
// the one-line-per-item output or drive the terminal. They are shown as \xHH (a line break as a
// blank when `breakAsBlank`).
inline std::string printable(std::string_view s, bool breakAsBlank = false)
{
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\n' && breakAsBlank) {
            out += ' ';
        } else if (b < 0x20 || b == 0x7F) {
            char buf[5];
            std::snprintf(buf, sizeof buf, "\\x%02X", b);
            out += buf;
        } else {
            out += c;
        }
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
