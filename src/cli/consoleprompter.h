// SPDX-License-Identifier: GPL-3.0-or-later
// The file operations' questions answered without asking anyone: every question gets no, and
// each one and every failure gets a line on standard error.
#pragma once

#include "platform/fileoperations.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <string>

namespace morvane::cli {

// Messages name files whose names may hold control characters; on one stderr line each,
// line breaks become blanks and other control characters \xHH.
inline void say(const char *command, const QString &message)
{
    std::string line = command;
    line += ": ";
    for (const char c : message.toUtf8().toStdString()) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\n') {
            line += ' ';
        } else if (b < 0x20 || b == 0x7F) {
            char buf[5];
            std::snprintf(buf, sizeof buf, "\\x%02X", b);
            line += buf;
        } else {
            line += c;
        }
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

// Answers every question with no, and says so.
class ConsolePrompter final : public platform::Prompter
{
public:
    explicit ConsolePrompter(const char *command)
        : m_command(command)
    {}
    platform::ReplaceAnswer askReplace(const QByteArray &, const QByteArray &target, bool) override
    {
        say(m_command,
            QStringLiteral("「%1」は既にあるため、置き換えずにスキップしました。")
                .arg(QString::fromLocal8Bit(target)));
        return platform::ReplaceAnswer::No;
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
