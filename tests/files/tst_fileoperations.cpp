// SPDX-License-Identifier: GPL-3.0-or-later
// Fault injection through the file operations: every operation against a read-only folder, a
// vanished source, a full disk, another file system, name collisions, the user's answers, a
// failing flush or folder listing, a name appearing while a copy runs, an immutable source and a
// stop signal. After each case every file of the fixture is looked for by its content: it must be
// exactly where the case says (under its old or new name, or in the trash), with its permission
// bits, owner, holes and modification time to the nanosecond; every folder and link likewise, and
// no other entry (a temporary or partial copy, a folder left behind) may be anywhere.
#include "files/fileoperations.h"
#include "files/stopsignals.h"
#include "support/fakeprompter.h"
#include "support/tempfolder.h"

#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <string_view>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace std::literals;
using morvane::files::FileOperations;
using morvane::files::FileSystemSeams;
using morvane::files::ReplaceAnswer;
using morvane::files::RequestResult;
using morvane::test::FakePrompter;
using morvane::test::inFolder;

namespace {

enum class Op { Copy, Move, Remove, Rename };

// Paths are written "area/..." with the areas disk (the test's temporary folder), tmp (a small
// tmpfs: another file system, and a full disk), ro (a read-only folder) and trash.
struct Case
{
    const char *name;
    Op op;
    const char *sources; // blank separated
    std::string_view dest; // copy, move: the folder; rename: the new name
    const char *answers; // to the replace question, in order: y yes, a all, n no, c cancel
    const char *confirms; // to yes/no questions: y, n
    int cancelAt; // the progress step that cancels; 0 none
    bool ok;
    const char *changes; // "x>y" moved, "x+y" copied (a folder: all in it), "-x" gone
    const char *error; // text in the reports, "" none; "$ro" stands for the read-only reason
    // "exdev" first: a move's renames fail with EXDEV, as across file systems; "replace P=TAG" /
    // "rewrite P": once a first megabyte of P is copied (or at progress step N after "P=TAG"),
    // the fixture's file TAG is renamed over P / a byte of P is changed in place; "linked P Q":
    // afterwards P and Q are one file; "flush" fails; "list P" fails listing P; "appear P=TAG"
    // writes the fixture's file TAG at P on the first progress step; "immutable P" (chattr +i) for
    // the request; "SIGTERM N" / "SIGINT N": the request runs in a child process that gets the
    // signal on progress step N; "SIGKILL N": likewise killed, then what it left is checked (every
    // folder it made already has its final bits, every file is finished or an unfinished ".part"
    // copy) and the request runs again, to which the other columns apply; "bind P Q" mounts P on Q
    // for the request (root); "stale P": the folder P holds a copy a killed run left, one a running
    // request holds, and a user's file named alike.
    const char *fault = "";
};

// clang-format off
const Case kCases[] = {
    {"copy a file and a folder", Op::Copy, "disk/src/A.JPG disk/src/dir/sub", "disk/dst", "", "", 0, true, "disk/src/A.JPG+disk/dst/A.JPG disk/src/dir/sub+disk/dst/sub", ""},
    {"copy onto a file, answered no", Op::Copy, "disk/src/A.JPG disk/src/b.jpg", "disk/dst", "n", "", 0, false, "disk/src/A.JPG+disk/dst/A.JPG", ""},
    {"copy onto a file, answered yes", Op::Copy, "disk/src/b.jpg", "disk/dst", "y", "", 0, true, "disk/dst/b.jpg>trash/b.jpg disk/src/b.jpg+disk/dst/b.jpg", ""},
    {"copy onto a file, answered cancel", Op::Copy, "disk/src/b.jpg disk/src/A.JPG", "disk/dst", "c", "", 0, false, "", ""},
    {"copy onto two files, yes to all asks once", Op::Copy, "disk/src/b.jpg disk/src/dir", "disk/dst", "a", "", 0, true, "disk/dst/b.jpg>trash/b.jpg disk/dst/dir/c>trash/c disk/src/b.jpg+disk/dst/b.jpg disk/src/dir+disk/dst/dir", ""},
    {"copy into a read-only folder", Op::Copy, "disk/src/A.JPG", "ro", "", "", 0, false, "", "$ro"},
    {"copy out of a read-only folder", Op::Copy, "ro/r", "disk/dst", "", "", 0, true, "ro/r+disk/dst/r", ""},
    {"copy a vanished source, the other goes on", Op::Copy, "disk/src/gone disk/src/A.JPG", "disk/dst", "", "", 0, false, "disk/src/A.JPG+disk/dst/A.JPG", "ファイルが見つかりません"},
    {"copy a folder into itself", Op::Copy, "disk/src/dir", "disk/src/dir/sub", "", "", 0, false, "", "それ自身の中"},
    {"copy a file onto itself", Op::Copy, "disk/src/A.JPG", "disk/src", "", "", 0, false, "", "同じです"},
    {"copy onto a full disk", Op::Copy, "disk/src/A.JPG disk/src/big", "tmp", "", "", 0, false, "disk/src/A.JPG+tmp/A.JPG", "空き領域"},
    {"copy cancelled inside a file", Op::Copy, "disk/src/A.JPG disk/src/m", "disk/dst", "", "", 3, false, "disk/src/A.JPG+disk/dst/A.JPG", ""},
    {"move within a file system", Op::Move, "disk/src/A.JPG disk/src/dir/sub", "disk/dst", "", "", 0, true, "disk/src/A.JPG>disk/dst/A.JPG disk/src/dir/sub>disk/dst/sub", ""},
    {"move a folder onto a folder, answered no", Op::Move, "disk/src/dir", "disk/dst", "n", "", 0, false, "disk/src/dir/sub>disk/dst/dir/sub disk/src/dir/ln>disk/dst/dir/ln", ""},
    {"move onto a file, answered yes", Op::Move, "disk/src/b.jpg", "disk/dst", "y", "", 0, true, "disk/dst/b.jpg>trash/b.jpg disk/src/b.jpg>disk/dst/b.jpg", ""},
    {"move onto a file, answered cancel", Op::Move, "disk/src/b.jpg disk/src/A.JPG", "disk/dst", "c", "", 0, false, "", ""},
    {"move onto a hard link of itself", Op::Move, "disk/src/b.jpg", "disk/dst/dir", "", "", 0, false, "", "同じです"},
    {"move out of a read-only folder", Op::Move, "ro/r", "disk/dst", "", "", 0, false, "", "$ro"},
    {"move into a read-only folder", Op::Move, "disk/src/A.JPG", "ro", "", "", 0, false, "", "$ro"},
    {"move a vanished source, the other goes on", Op::Move, "disk/src/gone disk/src/A.JPG", "disk/dst", "", "", 0, false, "disk/src/A.JPG>disk/dst/A.JPG", "ファイルが見つかりません"},
    {"move a folder into itself", Op::Move, "disk/src/dir", "disk/src/dir/sub", "", "", 0, false, "", "それ自身の中"},
    {"move a folder onto itself", Op::Move, "disk/src/dir", "disk/src", "", "", 0, false, "", "同じです"},
    {"move to another file system", Op::Move, "disk/src/A.JPG disk/src/dir", "tmp", "", "", 0, true, "disk/src/A.JPG>tmp/A.JPG disk/src/dir>tmp/dir", ""},
    {"move back from another file system", Op::Move, "tmp/t", "disk/dst", "", "", 0, true, "tmp/t>disk/dst/t", ""},
    {"move across onto a file, answered yes", Op::Move, "tmp/t", "disk/dst/dir", "y", "", 0, true, "disk/dst/dir/t>trash/t tmp/t>disk/dst/dir/t", ""},
    {"copy onto a file where there is no trash, lost for good only on yes", Op::Copy, "disk/dst/dir/t", "tmp", "y", "y", 0, true, "-tmp/t disk/dst/dir/t+tmp/t", ""},
    {"copy onto a file where there is no trash, answered no", Op::Copy, "disk/dst/dir/t", "tmp", "y", "n", 0, false, "", ""},
    {"move across onto a full disk", Op::Move, "disk/src/A.JPG disk/src/big", "tmp", "", "", 0, false, "disk/src/A.JPG>tmp/A.JPG", "空き領域"},
    {"move across cancelled inside a file", Op::Move, "disk/src/A.JPG disk/src/m", "tmp", "", "", 3, false, "disk/src/A.JPG>tmp/A.JPG", ""},
    {"delete to the trash", Op::Remove, "disk/src/A.JPG disk/src/dir", "", "", "", 0, true, "disk/src/A.JPG>trash/A.JPG disk/src/dir>trash/dir", ""},
    {"delete a vanished file, the other goes on", Op::Remove, "disk/src/gone disk/src/A.JPG", "", "", "", 0, false, "disk/src/A.JPG>trash/A.JPG", "ファイルが見つかりません"},
    {"delete in a read-only folder asks nothing", Op::Remove, "ro/r", "", "", "", 0, false, "", "$ro"},
    {"delete without a trash, answered no", Op::Remove, "tmp/t", "", "", "n", 0, false, "", ""},
    {"delete without a trash, answered yes", Op::Remove, "tmp/t", "", "", "y", 0, true, "-tmp/t", ""},
    {"rename", Op::Rename, "disk/src/A.JPG", "new.jpg", "", "", 0, true, "disk/src/A.JPG>disk/src/new.jpg", ""},
    {"rename changing case only", Op::Rename, "disk/src/A.JPG", "a.jpg", "", "", 0, true, "disk/src/A.JPG>disk/src/a.jpg", ""},
    {"rename onto an existing name", Op::Rename, "disk/src/A.JPG", "b.jpg", "", "", 0, false, "", "既にあります"},
    {"rename onto a hard link of itself", Op::Rename, "disk/src/hard", "b.jpg", "", "", 0, false, "", "既にあります"},
    {"rename to a name with a slash", Op::Rename, "disk/src/A.JPG", "../A.JPG", "", "", 0, false, "", "「/」"},
    {"rename to a name with NUL", Op::Rename, "disk/src/A.JPG", "a\0b"sv, "", "", 0, false, "", "NUL"},
    {"rename in a read-only folder", Op::Rename, "ro/r", "r2", "", "", 0, false, "", "$ro"},
    {"rename a vanished file", Op::Rename, "disk/src/gone", "x", "", "", 0, false, "", "ファイルが見つかりません"},
    {"rename changing case onto a hard link", Op::Rename, "disk/src/b.jpg", "B.JPG", "", "", 0, false, "", "既にあります"},
    {"copy a link to a folder named with a slash", Op::Copy, "disk/src/dirlink/", "disk/dst", "", "", 0, true, "disk/src/dir+disk/dst/dirlink", ""},
    {"copy a fifo", Op::Copy, "disk/src/fifo", "disk/dst", "", "", 0, false, "", "特殊なファイル"},
    {"copy with a failing flush", Op::Copy, "disk/src/A.JPG", "disk/dst", "", "", 0, false, "", "読み書き", "flush"},
    {"copy a folder whose subfolder cannot be listed", Op::Copy, "disk/src/dir", "disk/dst/dir", "", "", 0, false, "disk/src/dir+disk/dst/dir/dir -disk/dst/dir/dir/sub", "sub」をコピーできませんでした", "list disk/src/dir/sub"},
    {"copy while the name appears, answered no", Op::Copy, "disk/src/A.JPG", "disk/dst", "n", "", 0, false, "", "", "appear disk/dst/A.JPG=b2"},
    {"copy stopped by SIGTERM", Op::Copy, "disk/src/A.JPG disk/src/m", "disk/dst", "", "", 0, false, "disk/src/A.JPG+disk/dst/A.JPG", "", "SIGTERM 3"},
    {"copy a folder stopped by SIGINT", Op::Copy, "disk/src/dir/sub", "disk/dst", "", "", 0, false, "", "", "SIGINT 2"},
    {"move a folder out of a read-only folder", Op::Move, "ro/rd", "disk/dst", "", "", 0, false, "", "rd」を移動できませんでした。\n$ro"},
    {"move across a source that cannot be removed", Op::Move, "disk/src/A.JPG", "tmp", "", "", 0, false, "", "アクセスが拒否", "immutable disk/src/A.JPG"},
    {"move across a sparse file larger than the disk", Op::Move, "disk/src/sparse", "tmp", "", "", 0, true, "disk/src/sparse>tmp/sparse", ""},
    {"move across odd and long names", Op::Move, "disk/src/caf\xe9.jpg disk/src/$long", "tmp", "", "", 0, true, "disk/src/caf\xe9.jpg>tmp/caf\xe9.jpg disk/src/$long>tmp/$long", ""},
    {"copy a folder into a bind mount of itself", Op::Copy, "disk/src/dir", "disk/dst/dir", "", "", 0, false, "", "それ自身の中", "bind disk/src/dir disk/dst/dir"},
    {"copy removes only a copy a killed run left", Op::Copy, "disk/src/A.JPG", "disk/dst", "", "", 0, true, "disk/src/A.JPG+disk/dst/A.JPG -disk/dst/.morvane-killed00.part", "", "stale disk/dst"},
    {"move a folder across stopped by SIGINT", Op::Move, "disk/src/dir/sub", "tmp", "", "", 0, false, "", "", "SIGINT 2"},
    {"copy a folder killed inside a file, copied again", Op::Copy, "disk/src/dir", "disk/dst/dir", "a", "", 0, true, "disk/src/dir+disk/dst/dir/dir disk/src/dir/c+trash/c disk/src/dir/ln+trash/ln", "", "SIGKILL 7"},
    {"move across (seam)", Op::Move, "disk/src/A.JPG disk/src/dir/sub", "disk/dst", "", "", 0, true, "disk/src/A.JPG>disk/dst/A.JPG disk/src/dir/sub>disk/dst/sub", "", "exdev"},
    {"move across a sparse file (seam)", Op::Move, "disk/src/sparse", "disk/dst", "", "", 0, true, "disk/src/sparse>disk/dst/sparse", "", "exdev"},
    {"move across odd and long names (seam)", Op::Move, "disk/src/caf\xe9.jpg disk/src/$long", "disk/dst", "", "", 0, true, "disk/src/caf\xe9.jpg>disk/dst/caf\xe9.jpg disk/src/$long>disk/dst/$long", "", "exdev"},
    {"move a folder across stopped by SIGINT (seam)", Op::Move, "disk/src/dir/sub", "disk/dst", "", "", 0, false, "", "", "exdev SIGINT 2"},
    {"move across, the source replaced while copied", Op::Move, "disk/src/m", "disk/dst", "", "", 0, false, "", "変更されました", "exdev replace disk/src/m=b2"},
    {"move across, the source rewritten in place while copied", Op::Move, "disk/src/m", "disk/dst", "", "", 0, false, "", "変更されました", "exdev rewrite disk/src/m"},
    {"copy of a file rewritten while copied is reported", Op::Copy, "disk/src/m", "disk/dst", "", "", 0, false, "", "変更されました", "rewrite disk/src/m"},
    {"copy keeps set-id bits, attributes and hard links", Op::Copy, "disk/src/B.JPG disk/src/g disk/src/hard", "disk/dst", "", "", 0, true, "disk/src/B.JPG+disk/dst/B.JPG disk/src/g+disk/dst/g disk/src/hard+disk/dst/hard", "", "linked disk/dst/B.JPG disk/dst/hard"},
    {"move across keeps hard links (seam)", Op::Move, "disk/src/B.JPG disk/src/hard", "disk/dst", "", "", 0, true, "disk/src/B.JPG>disk/dst/B.JPG disk/src/hard>disk/dst/hard", "", "exdev linked disk/dst/B.JPG disk/dst/hard"},
    {"move across killed inside a folder, moved again", Op::Move, "disk/src/dir", "disk/dst/dir", "", "", 0, true, "disk/src/dir>disk/dst/dir/dir", "", "exdev SIGKILL 7"},
    {"move across killed with a file in both places, moved again", Op::Move, "disk/src/dir", "disk/dst/dir", "", "", 0, true, "disk/src/dir>disk/dst/dir/dir", "", "exdev SIGKILL 3 placed"},
    {"move across, the source replaced once copied", Op::Move, "disk/src/m", "disk/dst", "", "", 0, false, "", "変更されたため", "exdev replace disk/src/m=b2 3"},
};

// The fixture's files: area path, content tag, size, permission bits, whether all but its first
// block is a hole, owner (root only). Every content is unique.
struct Original { const char *path; const char *tag; int size; mode_t mode; bool sparse = false; uid_t owner = 0; };
const Original kOriginals[] = {
    {"disk/src/A.JPG", "A", 100, 0640}, {"disk/src/b.jpg", "b", 200, 0604},
    {"disk/src/big", "big", 3 << 20, 0644}, {"disk/src/m", "m", 3 << 19, 0600},
    {"disk/src/dir/c", "c", 300, 0644}, {"disk/src/dir/sub/d", "d", 400, 0444, false, 1234},
    {"disk/dst/b.jpg", "b2", 250, 0644}, {"disk/dst/dir/c", "c2", 350, 0644},
    {"disk/dst/dir/t", "t2", 60, 0644}, {"tmp/t", "t", 500, 0640}, {"ro/r", "r", 600, 0644},
    {"ro/rd/q", "q", 900, 0644}, {"disk/src/sparse", "s", 3 << 20, 0644, true},
    {"disk/src/caf\xe9.jpg", "e", 700, 0644}, {"disk/src/$long", "L", 800, 0600},
    {"disk/src/g", "g", 900, 02755},
};
// clang-format on

// "$long" in a path is a name of the longest length a file system allows.
const QByteArray kLongName(255, 'n');

QByteArray contentOf(const Original &o)
{
    QByteArray bytes = QByteArray(o.tag) + ':';
    if (o.sparse)
        return bytes + QByteArray(o.size - bytes.size(), '\0');
    for (int i = 0; bytes.size() < o.size; ++i)
        bytes += char('a' + (i * 7 + o.size) % 26);
    return bytes.left(o.size);
}

QByteArrayList words(const char *text)
{
    QByteArrayList out = QByteArray(text).replace("$long", kLongName).split(' ');
    out.removeAll(QByteArray());
    return out;
}

// The user.* extended attributes of `path` as " [name=value ...]", "" when it has none.
QByteArray attributes(const QByteArray &path)
{
    char names[1024];
    const ssize_t n = ::llistxattr(path.constData(), names, sizeof names);
    QByteArrayList out;
    for (const QByteArray &name : QByteArray(names, std::max<ssize_t>(n, 0)).split('\0')) {
        char value[256];
        const ssize_t v = name.startsWith("user.")
            ? ::lgetxattr(path.constData(), name.constData(), value, sizeof value)
            : -1;
        if (v >= 0)
            out << name + '=' + QByteArray(value, v);
    }
    return out.isEmpty() ? QByteArray() : " [" + out.join(' ') + ']';
}

// "area path=content tag" lines, so that a difference is printed in full.
QStringList lines(const QMap<QByteArray, QByteArray> &state)
{
    QStringList out;
    for (auto it = state.cbegin(); it != state.cend(); ++it)
        out << QString::fromUtf8(it.key() + '=' + it.value());
    return out;
}

// The case's fault without its leading "exdev".
QByteArrayList faultOf(const Case &c)
{
    QByteArrayList fault = words(c.fault);
    if (fault.value(0) == "exdev")
        fault.removeFirst();
    return fault;
}

bool mentionsTmpfs(const Case &c)
{
    const QByteArray all = QByteArray(c.sources) + ' '
        + QByteArray::fromStdString(std::string(c.dest)) + ' ' + c.changes;
    return all.startsWith("tmp") || all.contains(" tmp") || all.contains(">tmp")
        || all.contains("+tmp");
}

} // namespace

class TestFileOperations : public QObject
{
    Q_OBJECT

public:
    ~TestFileOperations() override { unmount(); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void faults_data();
    void faults();

private:
    using State = QMap<QByteArray, QByteArray>; // area path -> content tag
    [[nodiscard]] QByteArray real(const QByteArray &areaPath) const;
    bool populate();
    bool place(const Original &o, const QByteArray &areaPath);
    [[nodiscard]] RequestResult run(const Case &c, morvane::files::Prompter &prompter);
    void walk(const QByteArray &native, const QByteArray &shown, State &state, QStringList &bad);
    [[nodiscard]] State snapshot(QStringList &bad);
    [[nodiscard]] static State apply(State state, const char *changes);
    void unmount();

    QTemporaryDir m_base;
    QMap<QByteArray, QByteArray> m_areas; // area name -> native folder
    QMap<QByteArray, const Original *> m_byContent;
    QMap<QByteArray, timespec> m_modified; // content tag -> modification time given
    bool m_mounted = false;
    QString m_roReason;
};

void TestFileOperations::initTestCase()
{
    QVERIFY(m_base.isValid());
    const QByteArray base = QFile::encodeName(m_base.path());
    // The trash of files on the test's folder goes under XDG_DATA_HOME: keep it inside the test.
    qputenv("XDG_DATA_HOME", base + "/data");
    for (const char *a : {"disk", "data", "tmp", "ro"})
        QVERIFY(morvane::test::makeFolder(inFolder(base, a)));
    m_areas = {{"disk", base + "/disk"},
        {"tmp", base + "/tmp"},
        {"ro", base + "/ro"},
        {"trash", base + "/data/Trash/files"}};
    if (::geteuid() == 0
        && ::mount("tmpfs", (base + "/tmp").constData(), "tmpfs", 0, "size=2m") == 0) {
        m_mounted = ::mount("tmpfs", (base + "/ro").constData(), "tmpfs", 0, "size=1m") == 0;
        QVERIFY(m_mounted);
    } else {
        qInfo("Cases on another file system and a full disk are skipped: they mount a small "
              "tmpfs, which needs root.");
    }
    m_roReason = m_mounted ? QStringLiteral("読み取り専用") : QStringLiteral("アクセスが拒否");
    for (const Original &o : kOriginals)
        m_byContent.insert(contentOf(o), &o);
}

void TestFileOperations::unmount()
{
    if (!m_mounted)
        return;
    for (const char *a : {"tmp", "ro"})
        ::umount2(m_areas.value(a).constData(), MNT_DETACH);
    m_mounted = false;
}

void TestFileOperations::cleanupTestCase()
{
    unmount();
    ::chmod(m_areas.value("ro").constData(), 0755); // so that the temporary folder can go
    // By native names: QTemporaryDir leaves a name that is not UTF-8.
    QVERIFY(morvane::test::removeContents(QFile::encodeName(m_base.path())));
}

QByteArray TestFileOperations::real(const QByteArray &areaPath) const
{
    const qsizetype slash = areaPath.indexOf('/');
    const QByteArray area = slash < 0 ? areaPath : areaPath.left(slash);
    QByteArray rest = slash < 0 ? QByteArray() : areaPath.mid(slash);
    return m_areas.value(area) + rest.replace("$long", kLongName);
}

bool TestFileOperations::populate()
{
    using namespace morvane::test;
    const QByteArray ro = m_areas.value("ro");
    if (m_mounted && ::mount(nullptr, ro.constData(), nullptr, MS_REMOUNT, nullptr) != 0)
        return false;
    ::chmod(ro.constData(), 0755);
    const QByteArray data = QFile::encodeName(m_base.path()) + "/data";
    for (const QByteArray &folder : {m_areas.value("disk"), m_areas.value("tmp"), ro, data}) {
        if (!removeContents(folder))
            return false;
    }
    for (const char *f : {"disk/src",
             "disk/src/dir",
             "disk/src/dir/sub",
             "disk/dst",
             "disk/dst/dir",
             "ro/rd",
             "ro/.Trash-0",
             "ro/.Trash-0/files",
             "ro/.Trash-0/info"}) {
        if (!makeFolder(real(f)))
            return false;
    }
    // A folder closed to others, so that a copy's folder made with other bits shows.
    if (::chmod(real("disk/src/dir/sub").constData(), 0750) != 0)
        return false;
    for (const Original &o : kOriginals) {
        if ((m_mounted || !QByteArray(o.path).startsWith("tmp/")) && !place(o, o.path))
            return false;
    }
    // Hard links (other names of b.jpg); links to a file and a folder, a fifo; on the tmpfs a
    // file where its trash folder would go, so that files there have no usable trash; the
    // read-only folder holds a trash folder of its own, as a camera card used before does.
    // Extended attributes where the file system keeps them (tags and a comment, as file managers
    // write them).
    for (const char *p : {"disk/src/A.JPG", "disk/src/dir", "disk/src/g"})
        (void)::lsetxattr(real(p).constData(), "user.xdg.comment", "c", 1, 0);
    const QByteArray b = real("disk/src/b.jpg");
    return ::link(b.constData(), real("disk/src/hard").constData()) == 0
        && ::link(b.constData(), real("disk/src/B.JPG").constData()) == 0
        && ::link(b.constData(), real("disk/dst/dir/b.jpg").constData()) == 0
        && ::symlink("c", real("disk/src/dir/ln").constData()) == 0
        && ::symlink("dir", real("disk/src/dirlink").constData()) == 0
        && ::mkfifo(real("disk/src/fifo").constData(), 0644) == 0
        && (!m_mounted || writeFile(real("tmp/.Trash-0"), {}))
        && (m_mounted
                ? ::mount(nullptr, ro.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0
                : ::chmod(ro.constData(), 0555) == 0);
}

// Writes the fixture's file `o` at `areaPath` with its bits, owner (as root) and time to the
// nanosecond; a sparse one as its first bytes and a hole to its size.
bool TestFileOperations::place(const Original &o, const QByteArray &areaPath)
{
    const QByteArray path = real(areaPath);
    const QByteArray content = contentOf(o);
    const timespec when {978307200 + o.size % 60, (o.size * 7919L) % 1000000000L + 1};
    const timespec times[2] = {when, when};
    if (!morvane::test::writeFile(path, o.sparse ? content.left(content.indexOf(':') + 1) : content)
        || ::truncate(path.constData(), o.size) != 0
        || (o.owner != 0 && ::geteuid() == 0 && ::chown(path.constData(), o.owner, o.owner) != 0)
        || ::chmod(path.constData(), o.mode) != 0
        || ::utimensat(AT_FDCWD, path.constData(), times, 0) != 0)
        return false;
    m_modified.insert(o.tag, when);
    return true;
}

void TestFileOperations::walk(
    const QByteArray &native, const QByteArray &shown, State &state, QStringList &bad)
{
    DIR *dir = ::opendir(native.constData());
    if (dir == nullptr)
        return;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == ".." || name == ".Trash-0")
            continue;
        const QByteArray path = inFolder(native, name);
        const QByteArray where = inFolder(shown, name);
        struct stat st
        {
        };
        if (::lstat(path.constData(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            state.insert(
                where, "folder " + QByteArray::number(st.st_mode & 07777, 8) + attributes(path));
            walk(path, where, state, bad);
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            char target[256] = {};
            state.insert(
                where, "link " + QByteArray(target, ::readlink(path.constData(), target, 255)));
            continue;
        }
        if (!S_ISREG(st.st_mode)) {
            state.insert(where, "special");
            continue;
        }
        QFile file(QFile::decodeName(path));
        const QByteArray content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        const Original *o = m_byContent.value(content);
        QByteArray value = (o != nullptr ? QByteArray(o->tag) : QByteArray("?")) + attributes(path);
        if (st.st_uid != ::geteuid())
            value += '@' + QByteArray::number(st.st_uid);
        state.insert(where, value);
        if (o == nullptr)
            continue;
        if ((st.st_mode & 07777) != o->mode)
            bad << QStringLiteral("%1: mode %2").arg(QString(where)).arg(st.st_mode & 07777, 0, 8);
        const timespec when = m_modified.value(o->tag);
        if (st.st_mtim.tv_sec != when.tv_sec || st.st_mtim.tv_nsec != when.tv_nsec)
            bad << QStringLiteral("%1: modification time changed").arg(QString(where));
        if (o->sparse && st.st_blocks * 512 >= st.st_size)
            bad << QStringLiteral("%1: holes written out").arg(QString(where));
        // What is in the trash can be put back: its info names where it came from.
        if (shown == "trash"
            && !QFile::exists(m_base.path() + "/data/Trash/info/" + QString(name) + ".trashinfo"))
            bad << QStringLiteral("%1: no trash info").arg(QString(where));
    }
    ::closedir(dir);
}

TestFileOperations::State TestFileOperations::snapshot(QStringList &bad)
{
    State state;
    for (auto it = m_areas.cbegin(); it != m_areas.cend(); ++it)
        walk(it.value(), it.key(), state, bad);
    return state;
}

TestFileOperations::State TestFileOperations::apply(State state, const char *changes)
{
    for (const QByteArray &change : words(changes)) {
        if (change.startsWith('-')) {
            const QByteArray gone = change.mid(1);
            state.removeIf([&](auto it) {
                return it.key() == gone || it.key().startsWith(gone + '/');
            });
            continue;
        }
        const bool moved = change.contains('>');
        const QByteArrayList ends = change.split(moved ? '>' : '+');
        const State before = state;
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            const QByteArray &from = it.key();
            if (from != ends[0] && !from.startsWith(ends[0] + '/'))
                continue;
            if (moved)
                state.remove(from);
            // A folder that was there takes the entries in and stays as it was.
            const QByteArray to = ends[1] + from.mid(ends[0].size());
            if (it.value().startsWith("folder ") && before.value(to).startsWith("folder "))
                continue;
            // A copy belongs to whoever made it; a move keeps the owner.
            const qsizetype owner = it.value().indexOf('@');
            state.insert(ends[1] + from.mid(ends[0].size()),
                moved || owner < 0 ? it.value() : it.value().left(owner));
        }
    }
    return state;
}

void TestFileOperations::faults_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(std::size(kCases)); ++i)
        QTest::newRow(kCases[i].name) << i;
}

// Runs the case's request on its sources, with the seams its fault asks for.
RequestResult TestFileOperations::run(const Case &c, morvane::files::Prompter &prompter)
{
    const QByteArrayList fault = faultOf(c);
    FileSystemSeams seams;
    if (words(c.fault).value(0) == "exdev")
        seams.renameError = [](const QByteArray &, const QByteArray &) {
            return EXDEV;
        };
    if (fault.value(0) == "replace" || fault.value(0) == "rewrite") {
        const QByteArrayList at = fault.value(1).split('=');
        seams.copied = [this, at, how = fault.value(0), done = !fault.value(2).isEmpty()](
                           const QByteArray &source, qint64 bytes) mutable {
            if (done || source != real(at[0]) || bytes < (1 << 20))
                return;
            done = true;
            if (how == "rewrite") { // as dd conv=notrunc: same size, one byte changed
                const int fd = ::open(source.constData(), O_WRONLY);
                QVERIFY(fd >= 0 && ::pwrite(fd, "#", 1, 10) == 1 && ::close(fd) == 0);
                return;
            }
            const auto o = std::find_if(std::begin(kOriginals), std::end(kOriginals), [&](auto &x) {
                return at.value(1) == x.tag;
            });
            QVERIFY(place(*o, at[0] + ".new")
                && ::rename(real(at[0] + ".new").constData(), source.constData()) == 0);
        };
    }
    if (fault.value(0) == "flush")
        seams.flushError = [] {
            return EIO;
        };
    if (fault.value(0) == "list") {
        seams.listError = [unreadable = real(fault.value(1))](const QByteArray &folder) {
            return folder == unreadable ? EIO : 0;
        };
    }
    QList<QByteArray> sources;
    for (const QByteArray &s : words(c.sources))
        sources << real(s);
    const QByteArray dest(c.dest.data(), qsizetype(c.dest.size()));
    FileOperations operations(prompter, seams);
    switch (c.op) {
    case Op::Copy:
        return operations.copy(sources, FileOperations::targetsIn(real(dest), sources));
    case Op::Move:
        return operations.move(sources, FileOperations::targetsIn(real(dest), sources));
    case Op::Remove:
        return operations.remove(sources);
    case Op::Rename:
        break;
    }
    return operations.rename(sources.front(), dest);
}

void TestFileOperations::faults()
{
    QFETCH(int, row);
    const Case &c = kCases[row];
    if (mentionsTmpfs(c) && !m_mounted)
        QSKIP("needs a tmpfs mounted by the test, which needs root");
    const QByteArrayList fault = faultOf(c);
    QVERIFY(populate());
    QStringList bad;
    State expected = snapshot(bad);
    QVERIFY2(bad.isEmpty(), qPrintable(bad.join(u'\n')));

    FakePrompter prompter;
    for (const char a : std::string_view(c.answers)) {
        prompter.replaceAnswers << (a == 'y' ? ReplaceAnswer::Yes
                : a == 'a'                   ? ReplaceAnswer::YesToAll
                : a == 'n'                   ? ReplaceAnswer::No
                                             : ReplaceAnswer::Cancel);
    }
    for (const char a : std::string_view(c.confirms))
        prompter.confirmAnswers << (a == 'y');
    prompter.cancelAtStep = c.cancelAt;
    if (fault.value(0) == "replace") {
        const QByteArrayList at = fault.value(1).split('=');
        expected.insert(at[0], at[1]);
        const auto o = std::find_if(std::begin(kOriginals), std::end(kOriginals), [&](auto &x) {
            return at.value(1) == x.tag;
        });
        prompter.onStep = [this, o, at, step = fault.value(2).toInt()](int now) {
            if (now == step) // after the copy, before the source is removed
                QVERIFY(place(*o, at[0] + ".new")
                    && ::rename(real(at[0] + ".new").constData(), real(at[0]).constData()) == 0);
        };
    }
    if (fault.value(0) == "rewrite")
        expected.insert(fault.value(1), "?");
    if (fault.value(0) == "appear") {
        const QByteArrayList at = fault.value(1).split('=');
        const auto o = std::find_if(std::begin(kOriginals), std::end(kOriginals), [&](auto &x) {
            return at.value(1) == x.tag;
        });
        expected.insert(at[0], o->tag);
        prompter.onStep = [this, o, at](int step) {
            if (step == 1)
                QVERIFY(place(*o, at[0]));
        };
    }
    const QByteArray immutable =
        fault.value(0) == "immutable" ? real(fault.value(1)) : QByteArray();
    const int immutableFd = immutable.isEmpty() ? -1 : ::open(immutable.constData(), O_RDONLY);
    int flags = FS_IMMUTABLE_FL;
    if (immutableFd >= 0 && ::ioctl(immutableFd, FS_IOC_SETFLAGS, &flags) != 0) {
        ::close(immutableFd);
        QSKIP("the file system or the user cannot make a file immutable (chattr +i)");
    }

    // Left by a killed run; held by a running request; a user's file.
    const bool stale = fault.value(0) == "stale";
    const QByteArray folder = real(fault.value(1));
    const QByteArray held = folder + "/.morvane-running0.part";
    const int heldFd = stale ? ::open(held.constData(), O_WRONLY | O_CREAT, 0600) : -1;
    QVERIFY(!stale
        || (morvane::test::writeFile(folder + "/.morvane-killed00.part", "k")
            && morvane::test::writeFile(folder + "/.morvane-x.part", "u") && heldFd >= 0
            && ::flock(heldFd, LOCK_EX) == 0));
    if (stale)
        expected = snapshot(bad);
    const bool bind = fault.value(0) == "bind";
    if (bind
        && ::mount(real(fault.value(1)).constData(),
               real(fault.value(2)).constData(),
               nullptr,
               MS_BIND,
               nullptr)
            != 0)
        QSKIP("a bind mount needs root");

    RequestResult r;
    const int signal = fault.value(0) == "SIGTERM" ? SIGTERM
        : fault.value(0) == "SIGINT"               ? SIGINT
        : fault.value(0) == "SIGKILL"              ? SIGKILL
                                                   : 0;
    const bool killed = signal == SIGKILL;
    if (signal != 0) {
        // In a child process, as the terminal commands run: the signal stops the request.
        const int step = fault.value(1).toInt();
        const pid_t child = ::fork();
        if (child == 0) {
            const morvane::files::StopSignals stop;
            morvane::files::StoppingPrompter stopping(prompter, stop);
            prompter.onStep = [&](int at) {
                if (at == step)
                    ::raise(signal);
            };
            [[maybe_unused]] const RequestResult stopped = run(c, stopping);
            ::_exit(stop.received() != 0 ? 128 + stop.received() : 0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        if (killed) {
            QVERIFY(WIFSIGNALED(status));
            QCOMPARE(WTERMSIG(status), SIGKILL);
        } else {
            QVERIFY(WIFEXITED(status));
            QCOMPARE(WEXITSTATUS(status), 128 + signal);
        }
    }
    if (killed) {
        // What the killed run left: each new folder already with the bits it ends with, each new
        // file finished, apart from unfinished copies (".part", bits not yet given) it was writing.
        QStringList unfinished;
        const State left = snapshot(unfinished);
        const State done = apply(expected, c.changes);
        qsizetype parts = 0;
        for (auto it = left.cbegin(); it != left.cend(); ++it) {
            if (expected.value(it.key()) == it.value())
                continue;
            if (it.key().endsWith(".part") && !it.value().startsWith("folder ")) {
                ++parts;
                continue;
            }
            QCOMPARE(QString(it.key() + '=' + it.value()),
                QString(it.key() + '=' + done.value(it.key(), "(none)")));
        }
        for (const QString &u : std::as_const(unfinished))
            QVERIFY2(u.contains(QStringLiteral(".part: ")), qPrintable(u));
        // Or, "placed", between a copy's naming and the removal of its source.
        QVERIFY2(parts > 0 || fault.value(2) == "placed", "the run was not killed inside a file");
    }
    if (signal == 0 || killed)
        r = run(c, prompter);
    if (bind)
        QCOMPARE(::umount2(real(fault.value(2)).constData(), MNT_DETACH), 0);
    if (heldFd >= 0)
        ::close(heldFd);
    flags = 0;
    if (immutableFd >= 0) {
        QCOMPARE(::ioctl(immutableFd, FS_IOC_SETFLAGS, &flags), 0);
        ::close(immutableFd);
    }

    const QString errors = prompter.errors.join(u'\n');
    if (signal == 0 || killed) {
        QVERIFY2(r.ok == c.ok, qPrintable(errors));
        QCOMPARE(r.items.size(), std::size_t(words(c.sources).size()));
        QCOMPARE(r.cancelled, QByteArray(c.answers).contains('c') || c.cancelAt > 0);
        QCOMPARE(prompter.replaceAsked.size(), qsizetype(std::strlen(c.answers)));
        QCOMPARE(prompter.questions.size(), qsizetype(std::strlen(c.confirms)));
        QCOMPARE(prompter.started, prompter.finished);
        const QString expectedError = QString::fromUtf8(c.error).replace("$ro", m_roReason);
        QVERIFY2(expectedError.isEmpty() ? errors.isEmpty() : errors.contains(expectedError),
            qPrintable(errors));
    }
    const State after = snapshot(bad);
    QVERIFY2(bad.isEmpty(), qPrintable(bad.join(u'\n')));
    QCOMPARE(lines(after).join(u' '), lines(apply(expected, c.changes)).join(u' '));
    if (fault.value(0) == "linked") {
        struct stat a
        {
        };
        struct stat b
        {
        };
        QVERIFY(::lstat(real(fault.value(1)).constData(), &a) == 0
            && ::lstat(real(fault.value(2)).constData(), &b) == 0 && a.st_ino == b.st_ino);
    }
}

QTEST_GUILESS_MAIN(TestFileOperations)
#include "tst_fileoperations.moc"
