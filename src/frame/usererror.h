// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <exception>

namespace morvane {

// The one error type that travels to the general error report. Thrown on the UI thread only,
// by window code; pure code returns results instead. The text is the Japanese message as the
// user sees it (the report adds the closing "." where needed).
class UserError : public std::exception
{
public:
    explicit UserError(QString text)
        : m_text(std::move(text))
        , m_utf8(m_text.toUtf8())
    {}
    [[nodiscard]] const QString &text() const noexcept { return m_text; }
    [[nodiscard]] const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};

} // namespace morvane
