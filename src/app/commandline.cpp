// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/commandline.h"

#include <QCommandLineParser>
#include <QFile>
#include <QStringList>

namespace morvane {

namespace {

    // The options, for the parser and for the help text alike.
    struct OptionRow
    {
        const char *shortName;
        const char *longName;
        const char *description; // UTF-8
    };
    constexpr OptionRow kHelp {"h", "help", "この使い方を表示して終了します"};
    constexpr OptionRow kVersion {"v", "version", "バージョンを表示して終了します"};
    constexpr OptionRow kOptions[] = {kHelp, kVersion};

    QCommandLineOption optionOf(const OptionRow &row)
    {
        return QCommandLineOption({QLatin1String(row.shortName), QLatin1String(row.longName)},
            QString::fromUtf8(row.description));
    }

    QString helpText()
    {
        QString text = QStringLiteral(
            "使い方: morvane [オプション] [フォルダー | 画像ファイル]\n\n"
            "画像フォルダーの閲覧と整理。\n"
            "フォルダーを指定すると、フォルダーツリーでそのフォルダーを選んで始まります。\n"
            "ファイルを指定すると、そのフォルダーを選び、一覧でそのファイルを選んで始まります。\n\n"
            "オプション:\n");
        for (const OptionRow &row : kOptions) {
            const QString names =
                QStringLiteral("  -%1, --%2")
                    .arg(QLatin1String(row.shortName), QLatin1String(row.longName));
            text += names.leftJustified(18) + QString::fromUtf8(row.description) + u'\n';
        }
        return text;
    }

    QString versionText()
    {
        return QStringLiteral("Morvane " MORVANE_VERSION "\n");
    }

    struct Parsed
    {
        bool ok = false;
        bool help = false;
        bool version = false;
        QString error;
        qsizetype positionalCount = 0;
    };

    Parsed parse(const QList<QByteArray> &arguments)
    {
        QCommandLineParser parser;
        // "-platform" is one unknown option, not the letters p, l, a, ... (one of which could
        // be taken for "-v").
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        const QCommandLineOption help = optionOf(kHelp);
        const QCommandLineOption version = optionOf(kVersion);
        parser.addOption(help);
        parser.addOption(version);
        QStringList texts;
        for (const QByteArray &a : arguments)
            texts << QFile::decodeName(a);
        if (texts.isEmpty())
            texts << QStringLiteral("morvane");
        Parsed p;
        p.ok = parser.parse(texts);
        p.help = parser.isSet(help);
        p.version = parser.isSet(version);
        p.positionalCount = parser.positionalArguments().size();
        if (!p.ok) {
            const QStringList unknown = parser.unknownOptionNames();
            p.error = unknown.isEmpty() ? parser.errorText()
                                        : QStringLiteral("不明なオプションです: %1")
                                              .arg(unknown.join(QStringLiteral(", ")));
        }
        return p;
    }

    CommandLine answer(int code, QString output)
    {
        CommandLine c;
        c.exitCode = code;
        c.output = std::move(output);
        return c;
    }

} // namespace

QList<QByteArray> argumentBytes(int argc, const char *const *argv)
{
    QList<QByteArray> out;
    for (int i = 0; i < argc; ++i)
        out << QByteArray(argv[i]);
    return out;
}

std::optional<CommandLine> parseInfoOptions(const QList<QByteArray> &arguments)
{
    // Help and version are looked for before anything else, so the toolkit's options, unknown
    // here, do not hide them.
    CommandLine c = parseCommandLine(arguments);
    if (c.exitCode == 0)
        return c;
    return std::nullopt;
}

CommandLine parseCommandLine(const QList<QByteArray> &arguments)
{
    const Parsed p = parse(arguments);
    if (p.help)
        return answer(0, helpText());
    if (p.version)
        return answer(0, versionText());
    const QString hint = QStringLiteral("使い方は morvane --help で表示されます。\n");
    if (!p.ok)
        return answer(2, QStringLiteral("morvane: %1\n").arg(p.error) + hint);
    if (p.positionalCount > 1)
        return answer(2,
            QStringLiteral("morvane: 開くフォルダーかファイルは一つだけ指定してください\n") + hint);
    CommandLine c;
    // The parser took no option here, so the one positional argument is the one argument after
    // the program's name that is not the first "--"; its bytes are taken as given.
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (!optionsEnded && arguments[i] == "--") {
            optionsEnded = true;
            continue;
        }
        c.path = arguments[i];
    }
    return c;
}

} // namespace morvane
