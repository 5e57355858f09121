// SPDX-License-Identifier: GPL-3.0-or-later
// Not a test: shows the file operations' replace question (alone and during a copy), the yes/no
// question, an error box and the progress dialog of a long copy on the screen, and saves a
// screenshot of each into the folder given (run under xvfb-run to look at them without a desktop).
#include "files/dialogprompter.h"
#include "files/fileoperations.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

void shoot(const QString &file)
{
    QApplication::processEvents();
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    std::printf("%s %s\n", qPrintable(file), shot.save(file) ? "saved" : "NOT saved");
}

// Photographs the next modal box `afterMs` after it is asked for, then closes it with Escape.
void shootNextBox(const QString &file, int afterMs = 300)
{
    QTimer::singleShot(afterMs, [file] {
        shoot(file);
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
    });
}

bool makeFile(const QByteArray &path, off_t size)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const bool ok = fd >= 0 && ::ftruncate(fd, size) == 0;
    return ::close(fd) == 0 && ok;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Morvane"));
    QApplication::setFont(QFont(QStringLiteral("IPAPGothic"), 9));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    if (!makeFile(root + "/IMG_0001.JPG", 2'345'678) || !QDir().mkdir(dir.path() + "/dst")
        || !makeFile(root + "/dst/IMG_0001.JPG", 1'234'567)
        || !makeFile(root + "/big.mov", 1'500'000'000))
        return 1;

    QWidget window;
    window.resize(800, 560);
    window.show();
    morvane::files::DialogPrompter prompter(&window);

    shootNextBox(out + "/replace-question.png");
    (void)prompter.askReplace(root + "/IMG_0001.JPG", root + "/dst/IMG_0001.JPG", true);
    shootNextBox(out + "/delete-question.png");
    (void)prompter.confirm(
        QStringLiteral("「%1/IMG_0001.JPG」はごみ箱に移動できません。\n"
                       "ごみ箱のフォルダー「%1/.Trash-1000/info」がフォルダーでないか、リンクか、"
                       "ほかのユーザーのものなので使えません。\n完全に削除しますか？")
            .arg(dir.path()));
    shootNextBox(out + "/error-box.png");
    prompter.reportError(
        QStringLiteral("「%1/big.mov」をコピーできませんでした。\nディスクの空き領域が足りません。")
            .arg(dir.path()));

    // A copy that first asks about replacing, the question held longer than the progress waits:
    // the question stays in front, with no progress dialog over it.
    morvane::files::FileOperations operations(prompter);
    shootNextBox(out + "/replace-during-copy.png", 1200);
    (void)operations.copy({root + "/IMG_0001.JPG"}, {root + "/dst/IMG_0001.JPG"});

    // A real copy of a large file: the dialog appears after about half a second; it is
    // photographed a second later and then cancelled with its own button.
    QTimer::singleShot(1500, [&] {
        shoot(out + "/progress-dialog.png");
        if (QProgressDialog *d = prompter.progressDialog())
            d->cancel();
    });
    const auto r = operations.copy({root + "/big.mov"}, {root + "/dst/big.mov"});
    std::printf("copy cancelled: %s, partial file left: %s\n",
        r.cancelled ? "yes" : "no",
        QDir(dir.path() + "/dst")
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
            .join(u' ')
            .toUtf8()
            .constData());
    return 0;
}
