// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/trash.h"

#include "files/fileoperations.h"
#include "files/fileoprules.h"
#include "files/trashrules.h"
#include "platform/folderscan.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace morvane::files {

namespace {

    QByteArray bytes(std::string_view s)
    {
        return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
    }

    std::string_view view(const QByteArray &b)
    {
        return {b.constData(), static_cast<std::size_t>(b.size())};
    }

    QByteArray join(const QByteArray &folder, const QByteArray &name)
    {
        return QByteArray::fromStdString(joinPath(view(folder), view(name)));
    }

    QString reason(int error)
    {
        return QString::fromStdString(reasonText(error));
    }

    TrashResult notTrashed(TrashResult::Status status, const QString &why)
    {
        return {status, {}, why};
    }

    TrashFolderFacts factsOf(const QByteArray &path)
    {
        TrashFolderFacts f;
        struct stat st
        {
        };
        if (::lstat(path.constData(), &st) != 0)
            return f;
        f.exists = true;
        f.isFolder = S_ISDIR(st.st_mode);
        f.isLink = S_ISLNK(st.st_mode);
        f.sticky = (st.st_mode & S_ISVTX) != 0;
        f.owner = st.st_uid;
        return f;
    }

    // Makes `folder` of a trash when it is missing and checks it; empty when it is usable,
    // otherwise the reason.
    QString readyFolder(const QByteArray &folder, unsigned uid)
    {
        TrashFolderState state = checkUserTrashFolder(factsOf(folder), uid);
        if (state == TrashFolderState::Missing) {
            if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST) {
                return QStringLiteral("ごみ箱のフォルダー「%1」を作れません。")
                           .arg(QFile::decodeName(folder))
                    + reason(errno);
            }
            state = checkUserTrashFolder(factsOf(folder), uid);
        }
        if (state == TrashFolderState::Usable)
            return {};
        return QStringLiteral("ごみ箱のフォルダー「%1」がフォルダーでないか、リンクか、"
                              "ほかのユーザーのものなので使えません。")
            .arg(QFile::decodeName(folder));
    }

    // The device of `path`, or of its nearest existing folder above it.
    dev_t deviceAt(QByteArray path)
    {
        struct stat st
        {
        };
        while (::stat(path.constData(), &st) != 0) {
            if (path == "/" || path.isEmpty())
                return 0;
            path = bytes(parentOf(view(path)));
        }
        return st.st_dev;
    }

    // The top folder of the volume `dev` that holds the real folder `folder`.
    QByteArray topOf(QByteArray folder, dev_t dev)
    {
        while (folder != "/") {
            const QByteArray parent = bytes(parentOf(view(folder)));
            if (deviceAt(parent) != dev)
                break;
            folder = parent;
        }
        return folder;
    }

    CivilTime now()
    {
        const std::time_t t = std::time(nullptr);
        std::tm tm {};
        ::localtime_r(&t, &tm);
        return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    }

    // Writes, flushes and closes; 0 or the errno of the first failure. The file is closed either
    // way.
    int writeInfo(int fd, const std::string &text)
    {
        int error = 0;
        for (std::size_t done = 0; done < text.size() && error == 0;) {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                error = n < 0 ? errno : EIO;
            else
                done += static_cast<std::size_t>(n);
        }
        if (error == 0 && ::fsync(fd) != 0)
            error = errno;
        if (::close(fd) != 0 && error == 0)
            error = errno;
        return error;
    }

    // Moves the entry at the real path `full` (a folder when `isFolder`) into the trash folder
    // `trash` at the top of `topdir` ("" for the home trash).
    TrashResult trashInto(const QByteArray &full,
        bool isFolder,
        const QByteArray &trash,
        const QByteArray &topdir,
        unsigned uid)
    {
        const QByteArray files = join(trash, "files");
        const QByteArray info = join(trash, "info");
        for (const QByteArray &folder : {trash, files, info}) {
            if (const QString why = readyFolder(folder, uid); !why.isEmpty())
                return notTrashed(TrashResult::Status::NoTrash, why);
        }
        const long nameMax = ::pathconf(info.constData(), _PC_NAME_MAX);
        std::size_t maxBytes = nameMax > 24
            ? static_cast<std::size_t>(nameMax) - kTrashInfoSuffix.size()
            : 255 - kTrashInfoSuffix.size();
        const std::string name(lastComponent(view(full)));
        const std::string text = trashInfoText(trashInfoPath(view(full), view(topdir)), now());
        int number = 0;
        std::mt19937 random {std::random_device {}()};
        for (int attempt = 0; attempt < kTrashNameTries; ++attempt) {
            const QByteArray entry = bytes(trashEntryName(name, number, maxBytes));
            const QByteArray infoPath = join(info, entry + bytes(kTrashInfoSuffix));
            int error = 0;
            const int fd = ::open(
                infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (fd < 0) {
                error = errno;
            } else if ((error = writeInfo(fd, text)) != 0) {
                ::unlink(infoPath.constData());
                return notTrashed(TrashResult::Status::NoTrash,
                    QStringLiteral("ごみ箱の情報ファイルを書けません。") + reason(error));
            } else {
                const QByteArray target = join(files, entry);
                if (renameNoReplace(full, target, isFolder) == 0)
                    return {TrashResult::Status::Trashed, target, {}};
                error = errno;
                ::unlink(infoPath.constData());
                if (error != EEXIST && error != ENAMETOOLONG && error != EXDEV)
                    return notTrashed(TrashResult::Status::Failed, reason(error));
            }
            // A taken name (in info/, or an entry without info in files/) tries the next number,
            // after the first ten a random one, so that a trash holding "a.2.jpg" to "a.500.jpg"
            // still takes another "a.jpg"; a name the file system finds too long, a shorter one.
            if (error == EEXIST)
                number = number < 9 ? number + 1
                                    : std::uniform_int_distribution<int>(10, 999'999)(random);
            else if (error == ENAMETOOLONG && entry.size() > 16)
                maxBytes = static_cast<std::size_t>(entry.size()) - 8;
            else
                return notTrashed(TrashResult::Status::NoTrash,
                    QStringLiteral("ごみ箱「%1」に入れられません。").arg(QFile::decodeName(trash))
                        + reason(error));
        }
        return notTrashed(TrashResult::Status::NoTrash,
            QStringLiteral("ごみ箱「%1」に空いている名前が見つかりません。")
                .arg(QFile::decodeName(trash)));
    }

} // namespace

TrashResult trashItem(const QByteArray &pathIn)
{
    const QByteArray path = bytes(trimTrailingSlashes(view(pathIn)));
    struct stat st
    {
    };
    if (::lstat(path.constData(), &st) != 0)
        return notTrashed(TrashResult::Status::Failed, reason(errno));
    const QByteArray folder = platform::realPath(bytes(parentOf(view(path))));
    if (folder.isEmpty())
        return notTrashed(TrashResult::Status::Failed, reason(errno));
    const QByteArray full = join(folder, bytes(lastComponent(view(path))));
    const auto uid = static_cast<unsigned>(::geteuid());

    // The home trash takes what lies on its file system; every other volume has its own.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QByteArray data = QFile::encodeName(dataHome);
    QList<QByteArray> trashes;
    QByteArray topdir;
    if (!data.isEmpty() && deviceAt(data) == st.st_dev) {
        if (!QDir().mkpath(dataHome)) {
            return notTrashed(TrashResult::Status::NoTrash,
                QStringLiteral("ごみ箱のフォルダー「%1」を作れません。").arg(dataHome));
        }
        trashes << join(data, "Trash");
    } else {
        topdir = topOf(folder, st.st_dev);
        for (const std::string &t :
            topdirTrashFolders(view(topdir), uid, factsOf(join(topdir, ".Trash"))))
            trashes << QByteArray::fromStdString(t);
    }
    TrashResult result;
    for (const QByteArray &trash : std::as_const(trashes)) {
        result = trashInto(full, S_ISDIR(st.st_mode), trash, topdir, uid);
        if (result.status != TrashResult::Status::NoTrash)
            break;
    }
    return result;
}

} // namespace morvane::files
