// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/tfop.h"

#include "frame/errorreport.h"
#include "frame/settingsstore.h"
#include "tools/commandsplit.h"
#include "tools/toollauncher.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QTreeView>

namespace morvane {

namespace {

    const QString kSection = QStringLiteral("Option");

    // Keeps folders and the files that have the executable bit, whatever their names: on this
    // platform a program is known by its permission, not by an extension.
    class ExecutableFilter : public QSortFilterProxyModel
    {
    public:
        using QSortFilterProxyModel::QSortFilterProxyModel;

    protected:
        bool filterAcceptsRow(int row, const QModelIndex &parent) const override
        {
            const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
            if (files == nullptr)
                return true;
            const QFileInfo info(files->filePath(files->index(row, 0, parent)));
            return info.isDir() || info.isExecutable();
        }
    };

    // The three blocks: their controls, their keys of section "Option", the left of their labels
    // and edits, and the offset of their rows from the first block's. The "..." button of tool 2
    // is Button3, of tool 3 Button2; "T3", "T6" and "T9" of the current-directory rows are
    // neither read nor written.
    struct Block
    {
        QLabel *TfOp::*heading;
        QLabel *TfOp::*titleLabel;
        QLabel *TfOp::*commandLabel;
        QLabel *TfOp::*dirLabel;
        QLineEdit *TfOp::*title;
        QLineEdit *TfOp::*command;
        QLineEdit *TfOp::*dir;
        QPushButton *TfOp::*button;
        const char16_t *headingText;
        const char *titleKey;
        const char *commandKey;
        int labelX;
        int editX;
        int top;
    };
    // clang-format off
    constexpr Block kBlocks[] = {
        {&TfOp::Label1, &TfOp::Label4, &TfOp::Label7, &TfOp::Label10, &TfOp::Edit1, &TfOp::Edit2,
         &TfOp::Edit3, &TfOp::Button1, u"登録１", "T1", "T2", 8, 112, 0},
        {&TfOp::Label2, &TfOp::Label5, &TfOp::Label8, &TfOp::Label11, &TfOp::Edit4, &TfOp::Edit5,
         &TfOp::Edit6, &TfOp::Button3, u"登録２", "T4", "T5", 264, 368, 0},
        {&TfOp::Label3, &TfOp::Label6, &TfOp::Label9, &TfOp::Label12, &TfOp::Edit7, &TfOp::Edit8,
         &TfOp::Edit9, &TfOp::Button2, u"登録３", "T7", "T8", 8, 112, 112},
    };
    // clang-format on

    // Widens the file dialog's detail columns and side bar to their texts (Japanese dates and
    // place names are wider than the English ones the dialog is laid out for); the name column
    // takes the rest.
    void fitFileDialog(QFileDialog *dialog)
    {
        dialog->setViewMode(QFileDialog::Detail);
        if (auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("treeView"))) {
            QHeaderView *header = tree->header();
            header->setStretchLastSection(false);
            header->setSectionResizeMode(QHeaderView::ResizeToContents);
            header->setSectionResizeMode(0, QHeaderView::Stretch);
        }
        if (auto *side = dialog->findChild<QListView *>(QStringLiteral("sidebar"))) {
            side->setMinimumWidth(side->sizeHintForColumn(0) + 2 * side->frameWidth()
                + side->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
        }
        dialog->resize(dialog->sizeHint().expandedTo(QSize(720, 420)));
    }

} // namespace

TfOp::TfOp(QString settingsPath, QWidget *parent)
    : OptionsBase(parent, Qt::Window)
    , m_settingsPath(std::move(settingsPath))
{
    setWindowTitle(QStringLiteral("オプション"));
    // A fixed window with a client area of 511 × 214.
    setFixedSize(511, 214);
    buildControls();
    FormCreate();
}

void TfOp::buildControls()
{
    auto label = [this](const QString &text, int x, int y) {
        auto *l = new QLabel(text, this);
        l->move(x, y);
        l->adjustSize();
        return l;
    };
    auto edit = [this](int x, int y) {
        auto *e = new QLineEdit(this);
        e->setGeometry(x, y, 121, 20);
        return e;
    };
    for (const Block &k : kBlocks) {
        const QString heading = QString::fromUtf16(k.headingText);
        this->*k.heading = label(heading, k.labelX, k.top + 8);
        this->*k.titleLabel = label(QStringLiteral("タイトル"), k.labelX, k.top + 32);
        this->*k.commandLabel = label(QStringLiteral("コマンド"), k.labelX, k.top + 56);
        this->*k.dirLabel = label(QStringLiteral("カレントディレクトリ"), k.labelX, k.top + 80);
        this->*k.title = edit(k.editX, k.top + 24);
        (this->*k.title)->setText(heading);
        this->*k.command = edit(k.editX, k.top + 48);
        this->*k.dir = edit(k.editX, k.top + 72);
        this->*k.button = new QPushButton(QStringLiteral("..."), this);
        (this->*k.button)->setGeometry(k.editX + 120, k.top + 50, 17, 17);
        // A tool starts in this program's current directory; the row has no use.
        (this->*k.dirLabel)->hide();
        (this->*k.dir)->hide();
    }
    Button4 = new QPushButton(QStringLiteral("閉じる"), this);
    Button4->setGeometry(416, 176, 75, 25);
    AutoRotateBox = new QCheckBox(QStringLiteral("Exif の向きに合わせて回転する"), this);
    // Below the second tool's block, above "閉じる": every tool control keeps its place.
    AutoRotateBox->move(264, 128);
    AutoRotateBox->adjustSize();
    AutoRotateBox->setChecked(true);
    StartInLastFolder = new QCheckBox(QStringLiteral("前回のフォルダーで開始する"), this);
    // Below the orientation box, where the third block leaves the right half free.
    StartInLastFolder->move(264, 152);
    StartInLastFolder->adjustSize();
    StartInLastFolder->setChecked(true);

    QWidget *order[] = {Edit1,
        Edit2,
        Edit3,
        Edit4,
        Edit5,
        Edit6,
        Edit7,
        Edit8,
        Edit9,
        Button1,
        Button2,
        Button3,
        Button4,
        AutoRotateBox,
        StartInLastFolder};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    const std::pair<QPushButton *, void (TfOp::*)()> handlers[] = {{Button1, &TfOp::Button1Click},
        {Button3, &TfOp::Button3Click},
        {Button2, &TfOp::Button2Click},
        {Button4, &TfOp::Button4Click}};
    for (const auto &[button, handler] : handlers) {
        connect(button, &QPushButton::clicked, this, [this, h = handler] {
            reportErrors([this, h] {
                (this->*h)();
            });
        });
    }
}

void TfOp::FormCreate()
{
    // Each key defaults to the edit's design text.
    const SettingsStore s(m_settingsPath);
    for (const Block &k : kBlocks) {
        QLineEdit *title = this->*k.title;
        QLineEdit *command = this->*k.command;
        title->setText(s.readString(kSection, QLatin1String(k.titleKey), title->text()));
        command->setText(s.readString(kSection, QLatin1String(k.commandKey), command->text()));
    }
    StartInLastFolder->setChecked(
        s.readBool(kSection, QStringLiteral("StartInLastFolder"), StartInLastFolder->isChecked()));
    // Read before the signal is connected: reading the setting rebuilds nothing.
    AutoRotateBox->setChecked(s.readBool(kSection, QStringLiteral("AutoRotate"), true));
    connect(AutoRotateBox, &QCheckBox::toggled, this, &TfOp::autoRotateChanged);
}

bool TfOp::autoRotate() const
{
    return AutoRotateBox->isChecked();
}

void TfOp::FormClose()
{
    SettingsStore s(m_settingsPath);
    for (const Block &k : kBlocks) {
        s.writeString(kSection, QLatin1String(k.titleKey), (this->*k.title)->text());
        s.writeString(kSection, QLatin1String(k.commandKey), (this->*k.command)->text());
    }
    // The key is written once it says something: a file without it means on, and an untouched
    // file keeps its bytes.
    const QString autoRotateKey = QStringLiteral("AutoRotate");
    if (!AutoRotateBox->isChecked() || !s.readString(kSection, autoRotateKey, {}).isEmpty())
        s.writeBool(kSection, autoRotateKey, AutoRotateBox->isChecked());
    // The start option is written once it is off or the file holds it, so a file that never
    // turned it off keeps the section's design keys alone.
    const QString startKey = QStringLiteral("StartInLastFolder");
    if (!StartInLastFolder->isChecked() || !s.readString(kSection, startKey, QString()).isEmpty())
        s.writeBool(kSection, startKey, StartInLastFolder->isChecked());
    // A failed save is reported and the dialog still closes; its edits keep the texts for this
    // run. A text the file cannot hold keeps its old value there, and the user is told which.
    QStringList problems;
    QString message;
    if (!s.save(&message))
        problems << message;
    if (!s.rejectedMessage().isEmpty())
        problems << s.rejectedMessage();
    if (!problems.isEmpty())
        showErrorReport(problems.join(QLatin1Char('\n')), this);
}

void TfOp::closeEvent(QCloseEvent *event)
{
    // Closing only hides the window; it lives until the program ends.
    FormClose();
    event->accept();
}

QString TfOp::launchTool(int tool, const QByteArray &nativePath)
{
    if (tool < 1 || tool > 3)
        return QStringLiteral("ツール %1 はありません。").arg(tool);
    QString why;
    (void)tools::launchTool((this->*kBlocks[tool - 1].command)->text(), nativePath, &why);
    return why;
}

bool TfOp::startsInLastFolder() const
{
    return StartInLastFolder->isChecked();
}

void TfOp::pickProgram(QLineEdit *command)
{
    if (OpenDialog1 == nullptr) {
        // Made on first use, so a start that never picks a program builds no file model; kept
        // afterwards, so the dialog opens where the user last was.
        OpenDialog1 = new QFileDialog(this);
        OpenDialog1->setOption(QFileDialog::DontUseNativeDialog);
        OpenDialog1->setFileMode(QFileDialog::ExistingFile);
        OpenDialog1->setNameFilter(QStringLiteral("実行ファイル (*)"));
        OpenDialog1->setProxyModel(new ExecutableFilter(OpenDialog1));
        // Where programs live; the home folder where there is no such folder. Not the working
        // folder, which the user never chose.
        const QString programs = QStringLiteral("/usr/bin");
        OpenDialog1->setDirectory(QFileInfo(programs).isDir() ? programs : QDir::homePath());
        fitFileDialog(OpenDialog1);
    }
    if (OpenDialog1->exec() != QDialog::Accepted)
        return;
    const QStringList files = OpenDialog1->selectedFiles();
    if (files.isEmpty())
        return;
    // A path with blanks or quotes goes in quoted, so that the launch keeps it one program path.
    const QByteArray path = files.first().toUtf8();
    const std::string quoted =
        tools::quoteWord(std::string_view(path.constData(), static_cast<std::size_t>(path.size())));
    command->setText(QString::fromUtf8(quoted.data(), static_cast<qsizetype>(quoted.size())));
}

void TfOp::Button1Click()
{
    pickProgram(Edit2);
}

void TfOp::Button3Click()
{
    pickProgram(Edit5);
}

void TfOp::Button2Click()
{
    pickProgram(Edit8);
}

void TfOp::Button4Click()
{
    if (fMain != nullptr) {
        for (int n = 1; n <= 3; ++n)
            fMain->setToolCaption(n, (this->*kBlocks[n - 1].title)->text());
    }
    close();
}

} // namespace morvane
