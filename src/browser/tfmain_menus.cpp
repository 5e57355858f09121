// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's actions, main menu, tool bar and list popup menu, and the handlers of the
// menu items that need no other part of the window.
#include "browser/tfmain.h"
#include "browser/toolbarimages.h"
#include "frame/errorreport.h"
#include "platform/folderscan.h"
#include "platform/foldertree.h"

#include <QApplication>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QToolBar>
#include <QToolButton>

namespace morvane {

namespace {

    // The style's default button margins leave too little of the 102 pixels for the longest
    // caption ("コピーと移動(&M)..."), which the style would then cut in the middle.
    class ToolButtonStyle : public QProxyStyle
    {
    public:
        ToolButtonStyle()
            : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
        {}
        int pixelMetric(
            PixelMetric metric, const QStyleOption *option, const QWidget *widget) const override
        {
            if (metric == PM_ButtonMargin)
                return 1;
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    };

} // namespace

void TfMain::buildActions()
{
    struct ActionRow
    {
        QAction *TfMain::*member;
        const char *category;
        const char *caption; // UTF-8
        int image; // index of the tool image, -1 for none
    };
    // clang-format off
    static const ActionRow rows[] = {
        {&TfMain::actOpen,   "file", "開く",                   -1},
        {&TfMain::actClose,  "file", "終了",                   -1},
        {&TfMain::actAll,    "edit", "画像のみ選択(&A)",       1},
        {&TfMain::actHMF,    "edit", "コピーと移動(&M)...",    3},
        {&TfMain::actDel,    "edit", "削除",                   -1},
        {&TfMain::actRenew,  "view", "更新(&N)",               0},
        {&TfMain::actExp,    "tool", "エクスプローラーを開く", -1},
        {&TfMain::actOp,     "tool", "オプション...",          -1},
        {&TfMain::actReName, "edit", "名前の変更(&R)...",      2},
        {&TfMain::actUndo,   "edit", "元に戻す(&U)",           -1},
    };
    // clang-format on
    const std::array<QIcon, 4> images = toolImages(); // probes the theme once for all four
    for (const ActionRow &r : rows) {
        auto *a = new QAction(QString::fromUtf8(r.caption), this);
        a->setProperty("category", QString::fromLatin1(r.category));
        // The tool buttons show the caption with its "..." (the default icon text would drop
        // it). The "&" is left out there: the style measures the caption with the "&" when it
        // decides whether to cut it, and the longest one would then lose its middle.
        a->setIconText(a->text().remove(u'&'));
        if (r.image >= 0)
            a->setIcon(images[static_cast<std::size_t>(r.image)]);
        a->setMenuRole(QAction::NoRole);
        this->*r.member = a;
    }

    auto item = [this](const QString &caption) {
        auto *a = new QAction(caption, this);
        a->setMenuRole(QAction::NoRole);
        return a;
    };
    actUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    N22 = item(QStringLiteral("すべて選択"));
    N23 = item(QStringLiteral("画像以外選択"));
    N11 = item(QStringLiteral("フォルダ更新"));
    UpDate1 = item(QStringLiteral("UpDate"));
    UpDate1->setCheckable(true);
    UpDate1->setChecked(true);
    NewFolder1 = item(QStringLiteral("フォルダの新規作成(&M)..."));
    NewFolder1->setIcon(actHMF->icon()); // the same command, so the same image
    N16 = item(QStringLiteral("登録１"));
    N17 = item(QStringLiteral("登録２"));
    N18 = item(QStringLiteral("登録３"));
    N19 = item(QStringLiteral("登録１"));
    N20 = item(QStringLiteral("登録２"));
    N21 = item(QStringLiteral("登録３"));
    Help2 = item(QStringLiteral("ヘルプ"));
    About1 = item(QStringLiteral("バージョン情報"));
    RotateRight = item(QStringLiteral("右に回転"));
    RotateLeft = item(QStringLiteral("左に回転"));

    m_sizeGroup = new QActionGroup(this);
    m_sizeGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    const int sizes[] = {32, 48, 64, 96, 128, 256, 320};
    for (std::size_t i = 0; i < SizeItems.size(); ++i) {
        QAction *a = item(QString::number(sizes[i]));
        a->setCheckable(true);
        a->setData(sizes[i]);
        m_sizeGroup->addAction(a);
        SizeItems[i] = a;
    }
    SizeItems[1]->setChecked(true);

    m_qualityGroup = new QActionGroup(this);
    m_qualityGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    const char *const qualities[] = {"Full", "Half", "Quarter", "Eighth"};
    for (std::size_t i = 0; i < QualityItems.size(); ++i) {
        QAction *a = item(QString::fromLatin1(qualities[i]));
        a->setCheckable(true);
        a->setData(static_cast<int>(i));
        m_qualityGroup->addAction(a);
        QualityItems[i] = a;
    }
    QualityItems[3]->setChecked(true);
}

void TfMain::buildMenus()
{
    QMenuBar *bar = menuBar();
    QMenu *file = bar->addMenu(QStringLiteral("ファイル(&F)"));
    file->addAction(actOpen);
    file->addSeparator();
    file->addAction(actClose);

    QMenu *edit = bar->addMenu(QStringLiteral("編集(&E)"));
    edit->addAction(actUndo);
    connect(edit, &QMenu::aboutToShow, this, [this] {
        updateUndoAction();
    });
    connect(edit, &QMenu::aboutToHide, this, [this] {
        actUndo->setText(QStringLiteral("元に戻す(&U)"));
        actUndo->setEnabled(true);
    });
    edit->addSeparator();
    edit->addAction(N22);
    edit->addAction(actAll);
    edit->addAction(N23);
    edit->addSeparator();
    edit->addAction(actHMF);
    edit->addAction(actDel);
    edit->addSeparator();
    edit->addAction(actReName);

    QMenu *view = bar->addMenu(QStringLiteral("表示(&V)"));
    view->addAction(actRenew);
    view->addAction(N11);
    view->addSeparator();
    QMenu *size = view->addMenu(QStringLiteral("サイズ"));
    for (QAction *a : SizeItems)
        size->addAction(a);
    QMenu *quality = view->addMenu(QStringLiteral("クオリティ"));
    for (QAction *a : QualityItems)
        quality->addAction(a);
    view->addAction(UpDate1);
    buildSortMenu(view);

    QMenu *tool = bar->addMenu(QStringLiteral("ツール(&T)"));
    tool->addAction(actExp);
    tool->addSeparator();
    tool->addAction(NewFolder1);
    tool->addSeparator();
    tool->addAction(N16);
    tool->addAction(N17);
    tool->addAction(N18);
    tool->addSeparator();
    tool->addAction(actOp);

    QMenu *help = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->addAction(Help2);
    help->addAction(About1);
}

void TfMain::buildToolBar()
{
    ToolBar1 = new QToolBar(this);
    m_toolStyle = new ToolButtonStyle;
    m_toolStyle->setParent(ToolBar1);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(40);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    for (QAction *a : {actRenew, actAll, actReName, actHMF}) {
        ToolBar1->addAction(a);
        if (auto *button = qobject_cast<QToolButton *>(ToolBar1->widgetForAction(a))) {
            button->setFixedSize(102, 35);
            button->setAutoRaise(true);
            button->setStyle(m_toolStyle);
        }
    }
}

void TfMain::buildPopupMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->addAction(actReName);
    PopupMenu1->addAction(actHMF);
    PopupMenu1->addAction(actDel);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(N19);
    PopupMenu1->addAction(N20);
    PopupMenu1->addAction(N21);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(RotateRight);
    PopupMenu1->addAction(RotateLeft);
    connect(PopupMenu1, &QMenu::aboutToShow, this, [this] {
        updateRotateActions();
    });
}

void TfMain::connectHandlers()
{
    // Every handler reached through a signal runs inside reportErrors: no exception may cross a
    // Qt signal.
    auto wire = [this](QAction *a, void (TfMain::*handler)()) {
        connect(a, &QAction::triggered, this, [this, handler] {
            reportErrors([&] {
                (this->*handler)();
            });
        });
    };
    wire(actOpen, &TfMain::actOpenExecute);
    wire(actClose, &TfMain::actCloseExecute);
    wire(actAll, &TfMain::actAllExecute);
    wire(actHMF, &TfMain::actHMFExecute);
    wire(actDel, &TfMain::actDelExecute);
    wire(actRenew, &TfMain::actRenewExecute);
    wire(actExp, &TfMain::actExpExecute);
    wire(actOp, &TfMain::actOpExecute);
    wire(actReName, &TfMain::actReNameExecute);
    wire(actUndo, &TfMain::actUndoExecute);
    wire(N22, &TfMain::N22Click);
    wire(N23, &TfMain::N23Click);
    wire(N11, &TfMain::N11Click);
    wire(UpDate1, &TfMain::UpDate1Click);
    wire(N16, &TfMain::N16Click);
    wire(N17, &TfMain::N17Click);
    wire(N18, &TfMain::N18Click);
    wire(N19, &TfMain::N19Click);
    wire(N20, &TfMain::N20Click);
    wire(N21, &TfMain::N21Click);
    wire(Help2, &TfMain::Help2Click);
    wire(About1, &TfMain::About1Click);
    for (const bool clockwise : {true, false}) {
        connect(clockwise ? RotateRight : RotateLeft, &QAction::triggered, this, [this, clockwise] {
            reportErrors([&] {
                QList<QByteArray> paths;
                for (const QByteArray &name : SelectedNames)
                    paths << platform::joinNative(FolderNative, name);
                rotatePictures(paths, clockwise);
            });
        });
    }
    // "フォルダの新規作成(&M)..." is the copy and move command under another caption.
    connect(NewFolder1, &QAction::triggered, actHMF, &QAction::trigger);
    connect(actHMF, &QAction::enabledChanged, NewFolder1, &QAction::setEnabled);
    for (QAction *a : SizeItems) {
        connect(a, &QAction::triggered, this, [this, a] {
            reportErrors([&] {
                N3201Click(a);
            });
        });
    }
    for (QAction *a : QualityItems) {
        connect(a, &QAction::triggered, this, [this, a] {
            reportErrors([&] {
                Eighth1Click(a);
            });
        });
    }

    connect(ShellTreeView1, &platform::FolderTree::folderChanged, this, [this] {
        reportErrors([&] {
            ShellTreeView1Change();
        });
    });
    connectSelection();
    connect(ListView1, &QListView::doubleClicked, this, [this] {
        reportErrors([&] {
            ListView1DblClick();
        });
    });
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        PopupMenu1->popup(ListView1->viewport()->mapToGlobal(pos));
    });
}

void TfMain::N3201Click(QAction *sender)
{
    // An exclusive group checks the chosen item (and unchecks the others) before this runs;
    // the list is rebuilt also when it was checked already.
    if (sender != nullptr && !sender->isChecked())
        sender->setChecked(true);
    ThumbnailList();
}

void TfMain::Eighth1Click(QAction *sender)
{
    if (sender != nullptr && !sender->isChecked())
        sender->setChecked(true);
    ThumbnailList();
}

void TfMain::UpDate1Click()
{
    // The item is checkable, so choosing it has toggled its check; the new choice applies from
    // the next build.
}

void TfMain::actCloseExecute()
{
    close();
}

void TfMain::actRenewExecute()
{
    // A refresh shows the folder as it is now: every picture is decoded again and its cache
    // entry rewritten, in case a change slipped past the entries' validity checks.
    m_refreshing = true;
    const struct Restore
    {
        bool &flag;
        ~Restore() { flag = false; }
    } restore {m_refreshing};
    ThumbnailList();
}

void TfMain::About1Click()
{
    if (AboutBox != nullptr)
        AboutBox->exec();
}

} // namespace morvane
