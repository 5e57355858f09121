// SPDX-License-Identifier: GPL-3.0-or-later
#include "frame/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using morvane::SettingsStore;

// The code page 932 bytes of the texts used below, assembled by hand from the code page's table.
const QByteArray kTouroku1("\x93\x6f\x98\x5e\x82\x50"); // 登録１
const QByteArray kTesuto("\x83\x65\x83\x58\x83\x67"); // テスト
const QByteArray kTsuuru("\x83\x63\x81\x5b\x83\x8b"); // ツール

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return f.readAll();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

class SettingsStoreTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString iniPath() const { return m_dir.filePath(QStringLiteral("morvane.ini")); }
    QTemporaryDir m_dir;
};

TEST_F(SettingsStoreTest, WritesCodePage932WithCrLf)
{
    SettingsStore store(iniPath());
    store.writeString(QStringLiteral("Main"), QStringLiteral("TN1"), QStringLiteral("登録１"));
    store.writeInteger(QStringLiteral("Main"), QStringLiteral("Top"), -3);
    store.writeString(
        QStringLiteral("Option"), QStringLiteral("T2"), QStringLiteral("/opt/ツール/run"));
    QString error;
    ASSERT_TRUE(store.save(&error)) << error.toStdString();
    EXPECT_EQ(readAll(iniPath()),
        "[Main]\r\nTN1=" + kTouroku1 + "\r\nTop=-3\r\n\r\n[Option]\r\nT2=/opt/" + kTsuuru
            + "/run\r\n\r\n");
}

TEST_F(SettingsStoreTest, ReadsWhatAFileHolds)
{
    struct Case
    {
        const char *name;
        QByteArray file;
        QString section;
        QString key;
        QString def;
        QString expected;
    };
    const Case cases[] = {
        {"code page 932 text",
            "[Option]\r\nT1=" + kTesuto + "\r\n",
            "Option",
            "T1",
            "登録１",
            "テスト"},
        {"only \"[main]\" and \"top=10\"", "[main]\r\ntop=10", "Main", "Top", "114", "10"},
        {"missing key gives the default",
            "[Option]\r\nT2=x\r\n",
            "Option",
            "T1",
            "登録１",
            "登録１"},
        {"bytes that are not code page 932 read as U+FFFD",
            "[Option]\r\nT1=a\xa0\x80z\r\n",
            "Option",
            "T1",
            "",
            "a\uFFFD\uFFFDz"},
        {"a lead byte at the end of the value",
            "[Option]\r\nT1=ab\x83\r\n",
            "Option",
            "T1",
            "",
            "ab\uFFFD"},
        {"binary garbage gives the default",
            QByteArray("\x00\xff\xfe[\x01\x02=\x83\r\x00\x00Top=1", 16),
            "Main",
            "Top",
            "114",
            "114"},
        {"empty file gives the default", "", "Main", "Top", "114", "114"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(writeAll(iniPath(), c.file));
        const SettingsStore store(iniPath());
        EXPECT_EQ(
            store.readString(c.section, c.key, c.def).toStdString(), c.expected.toStdString());
    }
}

TEST_F(SettingsStoreTest, MissingFileGivesDefaults)
{
    const SettingsStore store(m_dir.filePath(QStringLiteral("absent.ini")));
    EXPECT_EQ(store.readInteger(QStringLiteral("Main"), QStringLiteral("Top"), 114), 114);
    EXPECT_TRUE(store.readBool(QStringLiteral("Main"), QStringLiteral("UpDate"), true));
    EXPECT_FALSE(store.readBool(QStringLiteral("Main"), QStringLiteral("Size1"), false));
    EXPECT_EQ(
        store.readString(QStringLiteral("Main"), QStringLiteral("TN1"), QStringLiteral("登録１")),
        QStringLiteral("登録１"));
}

TEST_F(SettingsStoreTest, FifoInPlaceOfTheFileIsNotRead)
{
    // Reading a fifo would block start-up until some other program wrote to it.
    ASSERT_EQ(::mkfifo(QFile::encodeName(iniPath()).constData(), 0600), 0);
    const SettingsStore store(iniPath());
    EXPECT_EQ(store.readInteger(QStringLiteral("Main"), QStringLiteral("Top"), 114), 114);
}

TEST_F(SettingsStoreTest, RoundTripThroughAFreshStore)
{
    {
        SettingsStore store(iniPath());
        store.writeInteger(QStringLiteral("View"), QStringLiteral("Top"), 145);
        store.writeInteger(QStringLiteral("View"), QStringLiteral("Left"), -2147483647 - 1);
        store.writeBool(QStringLiteral("View"), QStringLiteral("Time4"), true);
        store.writeBool(QStringLiteral("View"), QStringLiteral("Info2"), false);
        store.writeString(
            QStringLiteral("Option"), QStringLiteral("T1"), QStringLiteral("画像ツール"));
        store.writeString(QStringLiteral("Option"), QStringLiteral("T2"), QString());
        QString error;
        ASSERT_TRUE(store.save(&error)) << error.toStdString();
    }
    const SettingsStore again(iniPath());
    EXPECT_EQ(again.readInteger(QStringLiteral("View"), QStringLiteral("Top"), 0), 145);
    EXPECT_EQ(
        again.readInteger(QStringLiteral("view"), QStringLiteral("LEFT"), 0), -2147483647 - 1);
    EXPECT_TRUE(again.readBool(QStringLiteral("View"), QStringLiteral("Time4"), false));
    EXPECT_FALSE(again.readBool(QStringLiteral("View"), QStringLiteral("Info2"), true));
    EXPECT_EQ(again.readString(QStringLiteral("Option"), QStringLiteral("T1"), QString()),
        QStringLiteral("画像ツール"));
    EXPECT_EQ(again.readString(QStringLiteral("Option"), QStringLiteral("T2"), QStringLiteral("d")),
        QString());
}

TEST_F(SettingsStoreTest, SaveKeepsOtherSectionsAndUnknownKeys)
{
    const QByteArray before = "; written by hand\r\n[View]\r\nTop=145\r\nFuture=1\r\n\r\n"
                              "[Main]\r\nTop=1\r\nT9="
        + kTesuto + "\r\n";
    ASSERT_TRUE(writeAll(iniPath(), before));
    SettingsStore store(iniPath());
    store.writeInteger(QStringLiteral("Main"), QStringLiteral("Top"), 20);
    QString error;
    ASSERT_TRUE(store.save(&error)) << error.toStdString();
    EXPECT_EQ(readAll(iniPath()),
        "[View]\r\nTop=145\r\nFuture=1\r\n\r\n[Main]\r\nTop=20\r\nT9=" + kTesuto + "\r\n\r\n");
}

TEST_F(SettingsStoreTest, RefusesTextTheCodePageCannotHold)
{
    struct Case
    {
        const char *name;
        QString value;
    };
    const Case cases[] = {
        {"accented letter in a path", QStringLiteral("/opt/café/run")},
        {"emoji", QStringLiteral("tool \U0001F600")},
        {"line break", QStringLiteral("a\nb")},
        {"carriage return opening a section", QStringLiteral("x\r[Main]")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(writeAll(iniPath(), "[Option]\r\nT2=/usr/bin/old\r\n"));
        SettingsStore store(iniPath());
        EXPECT_FALSE(store.tryWriteString(QStringLiteral("Option"), QStringLiteral("T2"), c.value));
        store.writeString(QStringLiteral("Option"), QStringLiteral("T2"), c.value);
        EXPECT_EQ(store.readString(QStringLiteral("Option"), QStringLiteral("T2"), QString()),
            QStringLiteral("/usr/bin/old"));
        EXPECT_EQ(store.rejectedKeys(), QStringList {QStringLiteral("Option/T2")});
        EXPECT_TRUE(store.rejectedMessage().contains(QStringLiteral("Option/T2")));
        QString error;
        ASSERT_TRUE(store.save(&error)) << error.toStdString();
        EXPECT_EQ(readAll(iniPath()), "[Option]\r\nT2=/usr/bin/old\r\n\r\n");
    }
}

TEST_F(SettingsStoreTest, WritingBackWhatWasReadKeepsForeignBytes)
{
    // A hand-edited file saved in another encoding: the window reads U+FFFD and writes that back
    // unchanged on close; the bytes must survive and nothing counts as refused.
    const QByteArray foreign = "[Main]\r\nTN1=caf\xc3\xa9\xff\r\n";
    ASSERT_TRUE(writeAll(iniPath(), foreign));
    SettingsStore store(iniPath());
    const QString seen = store.readString(QStringLiteral("Main"), QStringLiteral("TN1"), QString());
    EXPECT_TRUE(seen.contains(QChar(QChar::ReplacementCharacter)));
    EXPECT_TRUE(store.tryWriteString(QStringLiteral("Main"), QStringLiteral("TN1"), seen));
    EXPECT_TRUE(store.rejectedKeys().isEmpty());
    QString error;
    ASSERT_TRUE(store.save(&error)) << error.toStdString();
    EXPECT_EQ(readAll(iniPath()), "[Main]\r\nTN1=caf\xc3\xa9\xff\r\n\r\n");
}

TEST_F(SettingsStoreTest, DuplicatesReadFirstAndSaveAValidFile)
{
    ASSERT_TRUE(writeAll(iniPath(), "[Main]\r\nTop=1\r\nTop=2\r\n[MAIN]\r\nTop=3\r\n"));
    SettingsStore store(iniPath());
    EXPECT_EQ(store.readInteger(QStringLiteral("Main"), QStringLiteral("Top"), 0), 1);
    store.writeInteger(QStringLiteral("Main"), QStringLiteral("Top"), 7);
    QString error;
    ASSERT_TRUE(store.save(&error)) << error.toStdString();
    const SettingsStore again(iniPath());
    EXPECT_EQ(again.readInteger(QStringLiteral("Main"), QStringLiteral("Top"), 0), 7);
}

TEST_F(SettingsStoreTest, HugeFileIsReadUpToItsCap)
{
    // 1 MiB is read; the entry that starts past it is not, and a save writes a file that reads
    // back the same.
    QByteArray bytes = "[Main]\r\nTop=5\r\n";
    const QByteArray filler = "Filler=" + QByteArray(90, 'x') + "\r\n";
    while (bytes.size() < 1024 * 1024 + 4096)
        bytes += filler;
    bytes += "Left=9\r\n";
    ASSERT_TRUE(writeAll(iniPath(), bytes));
    SettingsStore store(iniPath());
    EXPECT_EQ(store.readInteger(QStringLiteral("Main"), QStringLiteral("Top"), 0), 5);
    EXPECT_EQ(store.readInteger(QStringLiteral("Main"), QStringLiteral("Left"), 193), 193);
    QString error;
    ASSERT_TRUE(store.save(&error)) << error.toStdString();
    const QByteArray saved = readAll(iniPath());
    EXPECT_LE(saved.size(), 1024 * 1024 + 16);
    EXPECT_TRUE(saved.endsWith("\r\n\r\n"));
    // The cut fell on a line end, so no half entry was carried over.
    const QByteArray fillerLine = filler.chopped(2);
    for (const QByteArray &line : saved.split('\n')) {
        const QByteArray text = line.endsWith('\r') ? line.chopped(1) : line;
        EXPECT_TRUE(text.isEmpty() || text == "[Main]" || text == "Top=5" || text == fillerLine)
            << text.left(40).toStdString();
    }
}

TEST_F(SettingsStoreTest, HugeLineWithoutBreaksGivesDefaults)
{
    ASSERT_TRUE(writeAll(iniPath(), "[Main]" + QByteArray(2 * 1024 * 1024, 'y')));
    SettingsStore store(iniPath());
    EXPECT_EQ(store.readInteger(QStringLiteral("Main"), QStringLiteral("Top"), 114), 114);
    store.writeInteger(QStringLiteral("Main"), QStringLiteral("Top"), 1);
    QString error;
    ASSERT_TRUE(store.save(&error)) << error.toStdString();
    EXPECT_EQ(readAll(iniPath()), "[Main]\r\nTop=1\r\n\r\n");
}

TEST_F(SettingsStoreTest, FailedSaveReportsAndKeepsTheOldFile)
{
    // Tests run as root, where file modes do not stop writes: paths the system itself refuses.
    const QString regularFile = m_dir.filePath(QStringLiteral("plain"));
    ASSERT_TRUE(writeAll(regularFile, "not a folder"));
    const QString folder = m_dir.filePath(QStringLiteral("folder.ini"));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("folder.ini")));
    struct Case
    {
        const char *name;
        QString path;
    };
    const Case cases[] = {
        {"parent is a regular file", regularFile + QStringLiteral("/morvane.ini")},
        {"grandparent is a regular file", regularFile + QStringLiteral("/sub/morvane.ini")},
        {"the path is a folder", folder},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SettingsStore store(c.path);
        store.writeInteger(QStringLiteral("Main"), QStringLiteral("Top"), 1);
        QString error;
        EXPECT_FALSE(store.save(&error));
        EXPECT_TRUE(error.startsWith(QStringLiteral("設定ファイル「"))) << error.toStdString();
        EXPECT_TRUE(error.contains(c.path)) << error.toStdString();
        // The system's reason follows the first line.
        const qsizetype lineEnd = error.indexOf(QLatin1Char('\n'));
        ASSERT_GE(lineEnd, 0);
        EXPECT_FALSE(error.mid(lineEnd + 1).trimmed().isEmpty());
    }
    EXPECT_EQ(readAll(regularFile), "not a folder");
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

TEST_F(SettingsStoreTest, SaveCreatesTheConfigFolder)
{
    const QString nested = m_dir.filePath(QStringLiteral("config/morvane/morvane.ini"));
    SettingsStore store(nested);
    store.writeBool(QStringLiteral("Main"), QStringLiteral("UpDate"), false);
    QString error;
    ASSERT_TRUE(store.save(&error)) << error.toStdString();
    EXPECT_EQ(readAll(nested), "[Main]\r\nUpDate=0\r\n\r\n");
}

TEST_F(SettingsStoreTest, BesideTheProgramOnlyWhenAFileStandsThere)
{
    // A writable program folder alone (an installed program run by root) is no portable copy.
    const QString config = m_dir.filePath(QStringLiteral("config"));
    const std::string inConfig = (config + QStringLiteral("/morvane/morvane.ini")).toStdString();
    const QString program = m_dir.filePath(QStringLiteral("bin"));
    const QString beside = program + QStringLiteral("/morvane.ini");
    ASSERT_TRUE(QDir().mkpath(beside)); // a folder of that name
    EXPECT_EQ(SettingsStore::locate(program, config).toStdString(), inConfig);
    ASSERT_TRUE(QDir().rmdir(beside));
    EXPECT_EQ(SettingsStore::locate(program, config).toStdString(), inConfig);
    ASSERT_TRUE(QFile(beside).open(QIODevice::WriteOnly));
    EXPECT_EQ(SettingsStore::locate(program, config).toStdString(), beside.toStdString());
}

} // namespace
