// SPDX-License-Identifier: GPL-3.0-or-later
// The trash on real folders: the home trash, a volume's own trash folders with their checks (as
// root, on small tmpfs mounts made by the test), names that are not UTF-8 or too long for info/,
// unusable trash folders, a read-only volume and one out of inodes. Every case ends: either the
// item lies in the expected trash with its info, or it is untouched and a reason is given.
#include "files/trash.h"
#include "support/tempfolder.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using morvane::files::trashItem;
using morvane::files::TrashResult;
using morvane::test::inFolder;
using morvane::test::writeFile;

namespace {

using Status = TrashResult::Status;

// Areas: "home" is the test's folder, whose trash is XDG_DATA_HOME/Trash ("data/Trash"); "vol"
// is a tmpfs mounted by the test, whose trash folders lie at its top.
struct Case
{
    const char *name;
    const char *volume; // "home", or tmpfs mount options ("ro" remounts read-only after setup)
    const char *prepare; // blank separated: d:PATH folder, s:PATH sticky folder, f:PATH file,
                         // l:PATH link to "/tmp"; then the item "sub/NAME" is written
    QByteArray item; // its name, in the folder "sub" of the area
    Status status;
    QByteArray trashedAs; // relative to the area, when trashed; "*" stands for any number
    QByteArray infoPath; // the info file's Path=, "" when not trashed; "$abs" the item's path
    const char *why; // a part of the reason when not trashed
};

const QByteArray kLong = QByteArray(242, 'n') + ".jpg"; // 246 bytes: info/ takes at most 245
const QByteArray kCut = QByteArray(241, 'n') + ".jpg";

// clang-format off
const Case kCases[] = {
    {"home trash", "home", "", "a.jpg", Status::Trashed, "data/Trash/files/a.jpg", "$abs", ""},
    {"name that is not UTF-8", "home", "", "caf\xe9 1.jpg", Status::Trashed, "data/Trash/files/caf\xe9 1.jpg", "$abs", ""},
    {"taken info name gets a number", "home", "d:data/Trash d:data/Trash/info f:data/Trash/info/a.jpg.trashinfo", "a.jpg", Status::Trashed, "data/Trash/files/a.2.jpg", "$abs", ""},
    {"ten taken names, then a random number", "home", "d:data/Trash d:data/Trash/info f:data/Trash/info/a.jpg.trashinfo f:data/Trash/info/a.2.jpg.trashinfo f:data/Trash/info/a.3.jpg.trashinfo f:data/Trash/info/a.4.jpg.trashinfo f:data/Trash/info/a.5.jpg.trashinfo f:data/Trash/info/a.6.jpg.trashinfo f:data/Trash/info/a.7.jpg.trashinfo f:data/Trash/info/a.8.jpg.trashinfo f:data/Trash/info/a.9.jpg.trashinfo f:data/Trash/info/a.10.jpg.trashinfo", "a.jpg", Status::Trashed, "data/Trash/files/a.*.jpg", "$abs", ""},
    {"entry without info keeps its name", "home", "d:data/Trash d:data/Trash/files f:data/Trash/files/a.jpg", "a.jpg", Status::Trashed, "data/Trash/files/a.2.jpg", "$abs", ""},
    {"name too long for info/", "home", "", kLong, Status::Trashed, "data/Trash/files/" + kCut, "$abs", ""},
    {"info folder is a file", "home", "d:data/Trash f:data/Trash/info", "a.jpg", Status::NoTrash, "", "", "使えません"},
    {"trash folder is a link", "home", "l:data/Trash", "a.jpg", Status::NoTrash, "", "", "使えません"},
    {"volume trash made", "size=1m", "", "a b.jpg", Status::Trashed, ".Trash-0/files/a b.jpg", "sub/a%20b.jpg", ""},
    {"shared sticky trash", "size=1m", "s:.Trash", "a.jpg", Status::Trashed, ".Trash/0/files/a.jpg", "sub/a.jpg", ""},
    {"shared trash without sticky bit", "size=1m", "d:.Trash", "a.jpg", Status::Trashed, ".Trash-0/files/a.jpg", "sub/a.jpg", ""},
    {"shared trash is a link", "size=1m", "l:.Trash", "a.jpg", Status::Trashed, ".Trash-0/files/a.jpg", "sub/a.jpg", ""},
    {"volume info folder is a file", "size=1m", "d:.Trash-0 f:.Trash-0/info", "a.jpg", Status::NoTrash, "", "", "使えません"},
    {"read-only volume", "size=1m,ro", "d:.Trash-0 d:.Trash-0/files d:.Trash-0/info", "a.jpg", Status::NoTrash, "", "", "読み取り専用"},
    {"volume out of inodes", "size=1m,nr_inodes=8", "d:.Trash-0 d:.Trash-0/files d:.Trash-0/info", "a.jpg", Status::NoTrash, "", "", "空き領域"},
};
// clang-format on

// The content of a small file by its native path ("" when it cannot be read).
QByteArray readAll(const QByteArray &path)
{
    QByteArray out(4096, '\0');
    const int fd = ::open(path.constData(), O_RDONLY);
    const ssize_t n = fd < 0 ? 0 : ::read(fd, out.data(), static_cast<size_t>(out.size()));
    if (fd >= 0)
        ::close(fd);
    out.truncate(n < 0 ? 0 : n);
    return out;
}

bool exists(const QByteArray &path)
{
    struct stat st
    {
    };
    return ::lstat(path.constData(), &st) == 0;
}

} // namespace

class TestTrash : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void trash_data();
    void trash();
    void gioListsAndRestores();

private:
    bool prepare(const QByteArray &root, const char *steps);
    void unmount();

    QTemporaryDir m_base;
    QByteArray m_home; // the test's folder: the home trash's file system
    QByteArray m_vol;
    bool m_mounted = false;
};

void TestTrash::initTestCase()
{
    QVERIFY(m_base.isValid());
    m_home = QFile::encodeName(m_base.path());
    m_vol = m_home + "/vol";
    qputenv("XDG_DATA_HOME", m_home + "/data");
    QVERIFY(morvane::test::makeFolder(m_vol));
}

void TestTrash::unmount()
{
    if (m_mounted)
        ::umount2(m_vol.constData(), MNT_DETACH);
    m_mounted = false;
}

void TestTrash::cleanup()
{
    unmount();
    QVERIFY(morvane::test::removeContents(m_home));
    QVERIFY(morvane::test::makeFolder(m_vol));
}

bool TestTrash::prepare(const QByteArray &root, const char *steps)
{
    for (const QByteArray &step : QByteArray(steps).split(' ')) {
        if (step.isEmpty())
            continue;
        const QByteArray path = inFolder(root, step.mid(2));
        const bool ok = step[0] == 'f' ? writeFile(path, "x")
            : step[0] == 'l'           ? ::symlink("/tmp", path.constData()) == 0
                             : ::mkdir(path.constData(), step[0] == 's' ? 01777 : 0700) == 0
                && ::chmod(path.constData(), step[0] == 's' ? 01777 : 0700) == 0;
        if (!ok)
            return false;
    }
    return true;
}

void TestTrash::trash_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(std::size(kCases)); ++i)
        QTest::newRow(kCases[i].name) << i;
}

void TestTrash::trash()
{
    QFETCH(int, row);
    const Case &c = kCases[row];
    const bool home = QByteArray(c.volume) == "home";
    if (!home && ::geteuid() != 0)
        QSKIP("needs a tmpfs mounted by the test, which needs root");
    QByteArray options(c.volume);
    const bool readOnly = options.endsWith(",ro");
    options.replace(",ro", "");
    if (!home) {
        QVERIFY(::mount("tmpfs", m_vol.constData(), "tmpfs", 0, options.constData()) == 0);
        m_mounted = true;
    }
    const QByteArray root = home ? m_home : m_vol;
    QVERIFY(!home || morvane::test::makeFolder(m_home + "/data"));
    QVERIFY(prepare(root, c.prepare));
    const QByteArray item = root + "/sub/" + c.item;
    QVERIFY(morvane::test::makeFolder(root + "/sub"));
    QVERIFY(writeFile(item, "content of " + c.item));
    if (readOnly) {
        QVERIFY(::mount(nullptr, m_vol.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0);
    }
    // Use up the inodes left, so that nothing more can be made on the volume.
    for (int i = 0; options.contains("nr_inodes") && i < 100; ++i) {
        if (!writeFile(m_vol + "/fill" + QByteArray::number(i), {}))
            break;
    }

    const TrashResult r = trashItem(item);
    QVERIFY2(r.status == c.status, qPrintable(r.why));
    if (c.status != Status::Trashed) {
        QVERIFY2(r.why.contains(QString::fromUtf8(c.why)), qPrintable(r.why));
        QCOMPARE(readAll(item), "content of " + c.item);
        return;
    }
    QVERIFY(!exists(item));
    const QString expected = QString::fromUtf8(inFolder(root, c.trashedAs));
    QVERIFY2(QRegularExpression(QRegularExpression::wildcardToRegularExpression(expected))
                 .match(QFile::decodeName(r.trashedAs))
                 .hasMatch(),
        r.trashedAs.constData());
    QCOMPARE(readAll(r.trashedAs), "content of " + c.item);
    const QByteArray trashFolder = r.trashedAs.left(r.trashedAs.lastIndexOf("/files/"));
    const QByteArray name = r.trashedAs.mid(r.trashedAs.lastIndexOf('/') + 1);
    const QByteArray info = readAll(trashFolder + "/info/" + name + ".trashinfo");
    const QByteArray path = c.infoPath == "$abs" ? item.toPercentEncoding("/!*'()") : c.infoPath;
    QVERIFY2(info.startsWith("[Trash Info]\nPath=" + path + "\nDeletionDate="), info.constData());
    // After ten taken names the next is random, not the eleventh in sequence.
    QVERIFY2(!r.trashedAs.endsWith("/a.11.jpg"), r.trashedAs.constData());
    // No info file is left for a name whose move into files/ failed: only the prepared ones and
    // the item's own.
    for (const QString &left :
        QDir(QFile::decodeName(trashFolder + "/info")).entryList(QDir::Files)) {
        QVERIFY2(left == QFile::decodeName(name) + ".trashinfo"
                || QByteArray(c.prepare).contains("/info/" + QFile::encodeName(left)),
            qPrintable(left));
    }
}

// What gio lists and restores is the reference, names that are not UTF-8 included. gio (2.74)
// puts every name that is not ASCII back under its escaped text ("caf\\xe9.jpg"), as it does with
// what it trashed itself: for those only the content is looked for.
void TestTrash::gioListsAndRestores()
{
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    const QString session = QStandardPaths::findExecutable(QStringLiteral("dbus-run-session"));
    if (gio.isEmpty() || session.isEmpty())
        QSKIP("gio (libglib2.0-bin) or dbus-run-session (dbus) is not installed");
    const QByteArrayList names = {"caf\xe9 1.jpg", "\x82\xa0\x5c.jpg", "写真 1.jpg", "plain.jpg"};
    QByteArray script = "gio trash --list && echo -- &&";
    for (const QByteArray &n : names) {
        const QByteArray path = m_home + '/' + n;
        QVERIFY(writeFile(path, "bytes of " + n));
        const TrashResult r = trashItem(path);
        QVERIFY2(r.status == Status::Trashed, qPrintable(r.why));
        script += " gio trash --restore 'trash:///" + n.toPercentEncoding() + "' &&";
    }
    script += " echo restored";
    QProcess p;
    p.start(session,
        {QStringLiteral("--"),
            QStringLiteral("sh"),
            QStringLiteral("-c"),
            QString::fromLatin1(script)});
    QVERIFY(p.waitForFinished(60000));
    const QByteArray out = p.readAllStandardOutput();
    const QByteArray err = p.readAllStandardError();
    if (err.contains("Operation not supported"))
        QSKIP("gio has no trash:// here: the gvfs package (gvfs-daemons) is not installed");
    QVERIFY2(out.endsWith("restored\n"), out + err);
    QByteArrayList contents;
    QDir home(m_base.path());
    for (const QString &f : home.entryList(QDir::Files))
        contents << readAll(m_home + '/' + QFile::encodeName(f));
    for (const QByteArray &n : names) {
        QVERIFY2(
            out.contains("trash:///" + n.toPercentEncoding() + '\t' + m_home), out.constData());
        if (std::all_of(n.begin(), n.end(), [](char c) {
                return c > 0;
            }))
            QCOMPARE(readAll(m_home + '/' + n), "bytes of " + n);
        QVERIFY(contents.contains("bytes of " + n));
    }
    const QByteArray trash = m_home + "/data/Trash";
    QCOMPARE(::rmdir((trash + "/files").constData()), 0); // empty again
    QCOMPARE(::rmdir((trash + "/info").constData()), 0);
}

QTEST_GUILESS_MAIN(TestTrash)
#include "tst_trash.moc"
