// SPDX-License-Identifier: GPL-3.0-or-later
// Not a test: the batch rename dialog and the copy/move dialog as the program shows them, over a
// main window on a scratch folder of three selected files; saves a screenshot of the screen with
// each into the folder given (run under xvfb-run to look at them without a desktop).
#include "app/application.h"
#include "app/windowset.h"
#include "browser/tfmain.h"
#include "organise/tfmoco.h"
#include "organise/tfrene.h"
#include "platform/foldertree.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QItemSelectionModel>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

void shoot(const QString &file)
{
    // The window system maps and paints the window some time after show().
    QEventLoop settle;
    QTimer::singleShot(700, &settle, &QEventLoop::quit);
    settle.exec();
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    std::printf("%s %s\n", qPrintable(file), shot.save(file) ? "saved" : "NOT saved");
}

} // namespace

int main(int argc, char **argv)
{
    morvane::Application app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTemporaryDir dir;
    const QString desk = dir.filePath(QStringLiteral("desk"));
    const QString pics = desk + QStringLiteral("/写真");
    QDir().mkpath(pics);
    QDir().mkpath(desk + QStringLiteral("/整理済み"));
    QDir().mkpath(pics + QStringLiteral("/img0003.JPG")); // a folder: a name the preview marks
    for (const char *name : {"DSC0001.JPG", "DSC0002.JPG", "DSC0003.JPG"}) {
        QFile f(pics + QLatin1Char('/') + QString::fromLatin1(name));
        (void)f.open(QIODevice::WriteOnly);
    }
    morvane::WindowSet set(dir.filePath(QStringLiteral("morvane.ini")), desk);
    (void)set.main()->ShellTreeView1->selectPath(QFile::encodeName(pics));
    set.main()->ListView1->selectAll();

    morvane::TfRene *rene = set.rene();
    rene->ComboBox1->addItem(QStringLiteral("img\\4\\"));
    rene->show();
    shoot(out + QStringLiteral("/tfrene.png"));
    rene->previewButton()->click();
    shoot(out + QStringLiteral("/tfrene-preview.png"));
    rene->ComboBox1->setEditText(QStringLiteral("photo"));
    shoot(out + QStringLiteral("/tfrene-preview-same.png"));
    // DSC0001 not selected: DSC0002 cannot take its name, so DSC0003 cannot take DSC0002's.
    QListView *list = set.main()->ListView1;
    list->selectionModel()->select(list->model()->index(0, 0), QItemSelectionModel::Deselect);
    rene->hide();
    rene->show();
    rene->ComboBox1->setEditText(QStringLiteral("DSC\\4\\"));
    shoot(out + QStringLiteral("/tfrene-preview-chain.png"));
    // The run's one box at the end, photographed while it waits.
    QTimer::singleShot(0, [&out] {
        shoot(out + QStringLiteral("/tfrene-summary.png"));
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
    });
    rene->BitBtn1Click();
    rene->previewButton()->click();
    rene->hide();

    morvane::TfMoco *moco = set.moco();
    // A typed folder that exists: the tree follows it.
    moco->ComboBox1->setEditText(desk + QStringLiteral("/整理済み"));
    moco->show();
    shoot(out + QStringLiteral("/tfmoco.png"));
    return 0;
}
