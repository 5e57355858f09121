// SPDX-License-Identifier: GPL-3.0-or-later
#include "organise/tfmoco.h"

#include "files/dialogprompter.h"
#include "files/fileoperations.h"
#include "files/foldercommands.h"
#include "files/journaledops.h"
#include "frame/windowrefs.h"
#include "organise/comboboxhistory.h"
#include "platform/folderscan.h"
#include "platform/foldertree.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>

#include <algorithm>
#include <sys/stat.h>

namespace morvane {

namespace {

    // The design client area; controls keep their distance to its right and bottom edges.
    constexpr int kClientWidth = 402;
    constexpr int kClientHeight = 356;

    // How long the main window's status bar tells what a copy or move did.
    constexpr int kStatusMs = 5000;

    QByteArray lastName(QByteArray path)
    {
        while (path.size() > 1 && path.endsWith('/'))
            path.chop(1);
        return path.mid(path.lastIndexOf('/') + 1);
    }

    bool isFolder(const QByteArray &native)
    {
        struct stat st
        {
        };
        return !native.isEmpty() && ::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode);
    }

} // namespace

TfMoco::TfMoco(const QString &treeRoot, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_dialogs(std::make_unique<files::DialogPrompter>(this))
    , m_prompter(m_dialogs.get())
{
    setWindowTitle(QStringLiteral("フォルダの操作とファイルのコピー、移動"));
    // Design placement: outer 410 × 390 at (299, 176), a client area of 402 × 356; the outer
    // minimum 410 × 336 leaves a client area of at least 402 × 302.
    move(299, 176);
    resize(kClientWidth, kClientHeight);
    setMinimumSize(kClientWidth, 302);
    FormCreate(treeRoot);
}

TfMoco::~TfMoco() = default;

void TfMoco::FormCreate(const QString &treeRoot)
{
    Label1 = new QLabel(QStringLiteral("選択されているフォルダ"), this);
    Label1->move(8, 12);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setEditable(true);
    // The history grows only by the commands' own rule, never by Enter.
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setGeometry(8, 26, 384, 20);
    ShellTreeView1 =
        new platform::FolderTree(treeRoot, platform::FolderTreeModel::Places::Shown, this);
    m_treeCommands = std::make_unique<files::JournaledFolderCommands>(ShellTreeView1);
    ShellTreeView1->setCommands(m_treeCommands.get());
    ShellTreeView1->setGeometry(8, 56, 384, 113);
    Label4 = new QLabel(QStringLiteral("新しく作成するフォルダの名前"), this);
    Label4->setGeometry(8, 176, 385, 15);
    Edit1 = new QLineEdit(this);
    Edit1->setGeometry(8, 191, 385, 20);
    Label5 = new QLabel(QStringLiteral("新規作成の場合、フォルダ名を入力してください。"), this);
    Label5->setGeometry(144, 231, 249, 15);
    Label3 = new QLabel(QStringLiteral("選択されているフォルダの下に作ります。"), this);
    Label3->setGeometry(184, 251, 209, 15);
    Label2 = new QLabel(QStringLiteral("削除、名前の変更は右クリックでお願いします。"), this);
    Label2->move(152, 272);
    Label2->adjustSize();
    Label1->adjustSize();
    BitBtn1 = new QPushButton(QStringLiteral("新規作成"), this);
    BitBtn1->setGeometry(55, 314, 75, 29);
    BitBtn2 = new QPushButton(QStringLiteral("コピー"), this);
    BitBtn2->setGeometry(143, 314, 75, 29);
    BitBtn3 = new QPushButton(QStringLiteral("移動"), this);
    BitBtn3->setGeometry(231, 314, 75, 29);
    BitBtn4 = new QPushButton(QStringLiteral("閉じる"), this);
    BitBtn4->setGeometry(319, 314, 75, 29);

    setTabOrder(ShellTreeView1, ComboBox1);
    setTabOrder(ComboBox1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, BitBtn3);
    setTabOrder(BitBtn3, BitBtn4);
    setTabOrder(BitBtn4, Edit1);

    connect(ShellTreeView1, &platform::FolderTree::folderChanged, this, [this] {
        ShellTreeView1Change();
    });
    // A typed path of an existing folder moves the tree there, so that the box and the tree
    // always show one destination.
    connect(ComboBox1, &QComboBox::editTextChanged, this, [this] {
        followTypedPath();
    });
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        BitBtn1Click();
    });
    // Enter in the name makes the folder; the line edit consumes the key.
    connect(Edit1, &QLineEdit::returnPressed, this, [this] {
        BitBtn1Click();
    });
    connect(BitBtn2, &QPushButton::clicked, this, [this] {
        BitBtn2Click();
    });
    connect(BitBtn3, &QPushButton::clicked, this, [this] {
        BitBtn3Click();
    });
    connect(BitBtn4, &QPushButton::clicked, this, [this] {
        BitBtn4Click();
    });
    ShellTreeView1Change(); // the tree selected its top node before the connection
}

void TfMoco::FormClose() {}

void TfMoco::setPrompter(files::Prompter *prompter)
{
    m_prompter = prompter != nullptr ? prompter : m_dialogs.get();
    m_treeCommands->setPrompter(prompter);
}

void TfMoco::setMessageShower(MessageShower shower)
{
    m_shower = std::move(shower);
}

void TfMoco::information(const QString &text)
{
    showMessage(m_shower, this, QMessageBox::Information, QStringLiteral("情報"), text);
}

void TfMoco::warning(const QString &text)
{
    showMessage(m_shower, this, QMessageBox::Warning, QStringLiteral("警告"), text);
}

void TfMoco::addHistory(const QString &folder)
{
    // The edit text comes back as it was; the tree must not follow the entry meanwhile.
    const QSignalBlocker quiet(ComboBox1);
    appendToHistory(ComboBox1, folder);
}

void TfMoco::followTypedPath()
{
    const QString text = ComboBox1->currentText();
    if (m_following || text == m_treeText)
        return;
    const QByteArray native = QFile::encodeName(text);
    if (!native.startsWith('/') || !isFolder(native))
        return;
    // The box keeps the text as typed (a trailing "/" included) while the tree moves.
    m_following = true;
    if (ShellTreeView1->selectPath(native)) {
        m_treeText = text;
        m_treeNative = ShellTreeView1->selectedNativePath();
    }
    m_following = false;
}

QByteArray TfMoco::destinationNative() const
{
    const QString text = ComboBox1->currentText();
    return text == m_treeText ? m_treeNative : QFile::encodeName(text);
}

void TfMoco::ShellTreeView1Change()
{
    if (m_following)
        return;
    m_treeText = ShellTreeView1->selectedPath();
    m_treeNative = ShellTreeView1->selectedNativePath();
    ComboBox1->setEditText(m_treeText);
}

void TfMoco::BitBtn1Click()
{
    const QString name = Edit1->text();
    if (name.isEmpty()) {
        information(QStringLiteral("フォルダ名を入力してください。"));
    } else if (name.contains(QLatin1Char('/')) || name.contains(QChar(0))) {
        // On this platform "/" would make the folder somewhere else, or fail half way.
        warning(QStringLiteral("フォルダ名に「/」は使えません。"));
        return;
    } else {
        // In the destination the box and the tree show; a typed path that the tree could not
        // follow must exist.
        const QByteArray folder = destinationNative();
        const QByteArray native = platform::joinNative(folder, QFile::encodeName(name));
        // A place of the tree that is no folder (empty path) fails as before.
        if (const QString refusal = folder.isEmpty() ? QString() : refusalOf(folder);
            !refusal.isEmpty()) {
            warning(refusal);
            return;
        }
        DestinationPath = QFile::decodeName(native);
        // mkdir never replaces anything: an existing name fails with EEXIST.
        if (folder.isEmpty() || ::mkdir(native.constData(), 0777) != 0) {
            warning(QStringLiteral("失敗しました・・・"));
        } else {
            files::journalNewFolder(*m_prompter, native);
            if (selectMadeFolder(folder, name))
                return;
        }
    }
    addHistory(DestinationPath);
}

QString TfMoco::refusalOf(const QByteArray &folder) const
{
    const QString shown = ComboBox1->currentText();
    // A relative path would be taken from the program's working folder, which the user never
    // sees: the files would land somewhere unexpected.
    if (!folder.startsWith('/'))
        return QStringLiteral("「%1」はフォルダのフルパスではありません。").arg(shown);
    if (!isFolder(folder))
        return QStringLiteral("「%1」というフォルダはありません。").arg(shown);
    return {};
}

bool TfMoco::selectMadeFolder(const QByteArray &folder, const QString &name)
{
    // The tree stands on the destination unless it cannot show it (outside its top folder).
    const QModelIndex parent = ShellTreeView1->selectedNode();
    struct stat a
    {
    };
    struct stat b
    {
    };
    if (::stat(folder.constData(), &a) != 0
        || ::stat(ShellTreeView1->selectedNativePath().constData(), &b) != 0 || a.st_dev != b.st_dev
        || a.st_ino != b.st_ino)
        return false;
    ShellTreeView1->expandNode(parent);
    ShellTreeView1->refreshNode(parent);
    const QModelIndex made = ShellTreeView1->findChild(parent, name);
    if (!made.isValid())
        return false;
    ShellTreeView1->selectNode(made);
    return true;
}

void TfMoco::transfer(bool moving)
{
    DestinationPath = ComboBox1->currentText();
    const QByteArray destination = destinationNative();
    addHistory(DestinationPath);
    const QList<QByteArray> names = fMain != nullptr ? fMain->SelectedNames : QList<QByteArray>();
    if (names.isEmpty()) {
        information(QStringLiteral("ファイルが選択されていません。"));
    } else if (const QString refusal = refusalOf(destination); !refusal.isEmpty()) {
        // Refused before anything is copied; the dialog stays open to correct the path.
        warning(refusal);
        return;
    } else {
        QList<QByteArray> sources;
        for (const QByteArray &name : names)
            sources << platform::joinNative(fMain->FolderNative, name);
        const QList<QByteArray> targets = files::FileOperations::targetsIn(destination, names);
        const files::RequestResult result = moving
            ? files::journaledMove(*m_prompter, "move", sources, targets)
            : files::journaledCopy(*m_prompter, "copy", sources, targets);
        // Each failure has been reported.
        if (moving && result.ok)
            fMain->RemoveSelectedItems();
        const auto done =
            std::count(result.items.begin(), result.items.end(), files::ItemStatus::Done);
        if (done > 0) {
            const QString verb = moving ? QStringLiteral("移動") : QStringLiteral("コピー");
            fMain->statusBar()->showMessage(QStringLiteral("%1 個のファイルを「%2」に%3しました")
                                                .arg(done)
                                                .arg(platform::captionOfName(lastName(destination)))
                                                .arg(verb),
                kStatusMs);
        }
    }
    close();
}

void TfMoco::BitBtn2Click()
{
    transfer(false);
}

void TfMoco::BitBtn3Click()
{
    transfer(true);
}

void TfMoco::BitBtn4Click()
{
    close();
}

void TfMoco::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The box may hold a folder made or typed since the tree last moved.
    followTypedPath();
}

void TfMoco::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int dw = width() - kClientWidth;
    const int dh = height() - kClientHeight;
    ComboBox1->resize(384 + dw, 20);
    ShellTreeView1->resize(384 + dw, 113 + dh);
    Label4->setGeometry(8, 176 + dh, 385 + dw, Label4->height());
    Edit1->setGeometry(8, 191 + dh, 385 + dw, 20);
    Label5->move(144 + dw, 231 + dh);
    Label3->move(184 + dw, 251 + dh);
    Label2->move(152 + dw, 272 + dh);
    BitBtn1->move(55 + dw, 314 + dh);
    BitBtn2->move(143 + dw, 314 + dh);
    BitBtn3->move(231 + dw, 314 + dh);
    BitBtn4->move(319 + dw, 314 + dh);
}

void TfMoco::closeEvent(QCloseEvent *event)
{
    // Closing only hides the window; it lives until the program ends.
    FormClose();
    event->accept();
}

} // namespace morvane
