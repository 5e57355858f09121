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

#include <sys/stat.h>

namespace morvane {

namespace {

    // The design client area; controls keep their distance to its right and bottom edges.
    constexpr int kClientWidth = 402;
    constexpr int kClientHeight = 356;

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
    appendToHistory(ComboBox1, folder);
}

QByteArray TfMoco::destinationNative() const
{
    const QString text = ComboBox1->currentText();
    return text == m_treeText ? m_treeNative : QFile::encodeName(text);
}

void TfMoco::ShellTreeView1Change()
{
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
        const QModelIndex parent = ShellTreeView1->selectedNode();
        const QByteArray folder = ShellTreeView1->selectedNativePath();
        const QByteArray native = platform::joinNative(folder, QFile::encodeName(name));
        DestinationPath = QFile::decodeName(native);
        // mkdir never replaces anything: an existing name fails with EEXIST.
        if (folder.isEmpty() || ::mkdir(native.constData(), 0777) != 0) {
            warning(QStringLiteral("失敗しました・・・"));
        } else {
            files::journalNewFolder(*m_prompter, native);
            ShellTreeView1->expandNode(parent);
            ShellTreeView1->refreshNode(parent);
            const QModelIndex made = ShellTreeView1->findChild(parent, name);
            if (made.isValid()) {
                ShellTreeView1->selectNode(made);
                return;
            }
        }
    }
    addHistory(DestinationPath);
}

void TfMoco::transfer(bool moving)
{
    DestinationPath = ComboBox1->currentText();
    const QByteArray destination = destinationNative();
    addHistory(DestinationPath);
    const QList<QByteArray> names = fMain != nullptr ? fMain->SelectedNames : QList<QByteArray>();
    if (names.isEmpty()) {
        information(QStringLiteral("ファイルが選択されていません。"));
    } else if (!destination.startsWith('/')) {
        // A relative or empty path would be taken from the program's working folder, which the
        // user never sees: the files would land somewhere unexpected.
        warning(QStringLiteral("「%1」はフォルダのフルパスではありません。").arg(DestinationPath));
        return;
    } else {
        QList<QByteArray> sources;
        for (const QByteArray &name : names)
            sources << platform::joinNative(fMain->FolderNative, name);
        const QList<QByteArray> targets = files::FileOperations::targetsIn(destination, names);
        if (moving) {
            if (files::journaledMove(*m_prompter, "move", sources, targets).ok)
                fMain->RemoveSelectedItems();
        } else {
            // Each failure has been reported.
            (void)files::journaledCopy(*m_prompter, "copy", sources, targets);
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
