// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/tfmain.h"

#include "browser/filelistmodel.h"
#include "browser/filelistview.h"
#include "browser/folderpath.h"
#include "browser/listbuilder.h"
#include "browser/tfmain_delegate.h"
#include "browser/tfmain_grid.h"
#include "browser/tfmain_live.h"
#include "browser/tfmain_waitcursor.h"
#include "browser/thumbcache.h"
#include "files/fileoperations.h"
#include "files/foldercommands.h"
#include "frame/errorreport.h"
#include "frame/settingsfile.h"
#include "frame/settingsstore.h"
#include "platform/foldertree.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace morvane {

namespace {

    const QString kSection = QStringLiteral("Main");
    // The design widths of the four status panels, in pixels.
    constexpr std::array<int, 4> kPanelWidths {227, 200, 150, 100};

    // The right-hand panel: the path field across the top and the list under it, both keeping
    // their design distances to the panel's edges as it is resized.
    class AnchorPanel : public QWidget
    {
    public:
        using QWidget::QWidget;
        QWidget *top = nullptr;
        QWidget *fill = nullptr;

    protected:
        void resizeEvent(QResizeEvent *event) override
        {
            QWidget::resizeEvent(event);
            // Design: panel 403 × 368, path field at (0, 3) 401 × 20, list at (1, 24) 401 × 343.
            if (top != nullptr)
                top->setGeometry(0, 3, qMax(0, width() - 2), 20);
            if (fill != nullptr)
                fill->setGeometry(1, 24, qMax(0, width() - 2), qMax(0, height() - 25));
        }
    };

} // namespace

TfMain::TfMain(QString settingsPath, const QString &treeRoot, QWidget *parent)
    : MainWindowBase(parent)
    , m_settingsPath(std::move(settingsPath))
    , m_builder(std::make_unique<browser::ListBuilder>())
{
    setWindowTitle(QStringLiteral("サクサク閲覧、ガシガシ整理　「Morvane」"));
    buildActions();
    buildLayout(treeRoot);
    buildMenus();
    buildToolBar();
    buildPopupMenu();
    connectHandlers();
    connectFileOperations();
    connectKeys();
    connectLiveBuild();
    setMinimumSize(360, 240);
    move(193, 114);
    resize(632, 426 + menuBarHeight());
    // The tree selected its top node while it was made; that selection's handling builds the
    // list for the desktop with the design settings, before the creation handler runs.
    reportErrors([this] {
        ShellTreeView1Change();
    });
    FormCreate();
}

TfMain::~TfMain()
{
    // An editor still open commits when the window closes; by then the window is half gone.
    m_delegate->setCommitHandler({});
}

QString TfMain::filePathOf(const QString &caption) const
{
    return QString::fromStdString(
        browser::filePath(FolderPath.toStdString(), caption.toStdString()));
}

void TfMain::buildLayout(const QString &treeRoot)
{
    auto *central = new QWidget(this);
    setCentralWidget(central);

    Splitter1 = new QSplitter(Qt::Horizontal, central);
    Splitter1->setHandleWidth(4);
    Splitter1->setChildrenCollapsible(false);

    PageControl1 = new QTabWidget(Splitter1);
    ShellTreeView1 =
        new platform::FolderTree(treeRoot, platform::FolderTreeModel::Places::Shown, PageControl1);
    m_treeCommands = std::make_unique<files::JournaledFolderCommands>(ShellTreeView1);
    ShellTreeView1->setCommands(m_treeCommands.get());
    StringGrid1 = new StringGrid(PageControl1);
    PageControl1->addTab(ShellTreeView1, QStringLiteral("フォルダー"));
    PageControl1->addTab(StringGrid1, QStringLiteral("Exif"));
    PageControl1->setCurrentIndex(0);
    PageControl1->setMinimumWidth(40);

    auto *panel = new AnchorPanel(Splitter1);
    Panel2 = panel;
    Edit2 = new QLineEdit(Panel2);
    Edit2->setReadOnly(true);
    m_list = new FileListModel(this);
    ListView1 = new FileListView(Panel2);
    ListView1->setViewMode(QListView::IconMode);
    ListView1->setMovement(QListView::Static);
    ListView1->setResizeMode(QListView::Adjust);
    ListView1->setWrapping(true);
    ListView1->setFlow(QListView::LeftToRight);
    // Every item has the same box and caption area; without uniform sizes the view would ask
    // the delegate for each item's size on every layout.
    ListView1->setUniformItemSizes(true);
    ListView1->setWordWrap(true);
    ListView1->setTextElideMode(Qt::ElideRight);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_delegate = new ListItemDelegate(ListView1);
    ListView1->setItemDelegate(m_delegate);
    ListView1->setModel(m_list);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    panel->top = Edit2;
    panel->fill = ListView1;
    applyBoxSize();

    Splitter1->addWidget(PageControl1);
    Splitter1->addWidget(Panel2);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({225, 403});

    auto *layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Splitter1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setFixedHeight(18);
    const QString designTexts[] = {QStringLiteral("全ファイル"),
        QStringLiteral(" 選択ファイル"),
        QStringLiteral(" 画像サイズ"),
        QString()};
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        auto *label = new QLabel(designTexts[i], StatusBar1);
        label->setMinimumWidth(kPanelWidths[i]);
        label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setContentsMargins(2, 0, 2, 0);
        StatusBar1->addWidget(label);
        m_panels[i] = label;
    }
    setStatusBar(StatusBar1);
}

int TfMain::menuBarHeight() const
{
    // A menu bar that the platform shows outside the window takes no room in it.
    const QMenuBar *bar = menuBar();
    return bar->isNativeMenuBar() ? 0 : bar->sizeHint().height();
}

int TfMain::clientHeight() const
{
    return height() - menuBarHeight();
}

QString TfMain::panelText(int i) const
{
    if (i < 0 || i >= static_cast<int>(m_panels.size()))
        return {};
    return m_panels[static_cast<std::size_t>(i)]->text();
}

void TfMain::showStatus(const QString &text)
{
    constexpr int kStatusMs = 5000;
    StatusBar1->showMessage(text, kStatusMs);
}

void TfMain::setPanelText(int i, const QString &text)
{
    if (i < 0 || i >= static_cast<int>(m_panels.size()))
        return;
    QLabel *label = m_panels[static_cast<std::size_t>(i)];
    label->setMinimumWidth(0); // a label's size hint is never below its minimum
    label->setText(text);
    // The design width is a minimum: a panel grows to its whole text (the census of a large
    // folder, or a font wider than the design's) and shrinks back with it. It is the panel's
    // minimum, so a narrow window cuts the panels on its right instead of squeezing this one.
    label->setMinimumWidth(
        std::max(kPanelWidths[static_cast<std::size_t>(i)], label->sizeHint().width()));
}

void TfMain::FormCreate()
{
    SelectedNames.clear();
    PictureList.clear();
    readSettings();
    N19->setText(N16->text());
    N20->setText(N17->text());
    N21->setText(N18->text());
    reportErrors([this] {
        ThumbnailList();
    });
}

void TfMain::readSettings()
{
    const SettingsStore s(m_settingsPath);
    // Each key's default is the window's state at the moment it is read, and each value applies
    // at once, in the order of the section's table.
    const int top = s.readInteger(kSection, QStringLiteral("Top"), y());
    move(x(), top);
    const int left = s.readInteger(kSection, QStringLiteral("Left"), x());
    move(left, y());
    const int height = s.readInteger(kSection, QStringLiteral("Height"), clientHeight());
    resize(width(), height + menuBarHeight());
    const int width = s.readInteger(kSection, QStringLiteral("Width"), this->width());
    resize(width, this->height());

    s.readRadioGroup(kSection, QStringLiteral("Size"), SizeItems, 1);
    s.readRadioGroup(kSection, QStringLiteral("Quality"), QualityItems, 3);
    UpDate1->setChecked(s.readBool(kSection, QStringLiteral("UpDate"), UpDate1->isChecked()));
    N16->setText(s.readString(kSection, QStringLiteral("TN1"), N16->text()));
    N17->setText(s.readString(kSection, QStringLiteral("TN2"), N17->text()));
    N18->setText(s.readString(kSection, QStringLiteral("TN3"), N18->text()));
    // The cache's limit is set by hand in the file and never written back.
    m_cache = std::make_unique<browser::ThumbCache>(
        browser::ThumbCache::defaultFolder(), browser::ThumbCache::limitIn(s));
    if (!m_cache->refusal().isEmpty())
        std::fprintf(stderr, "morvane: %s\n", m_cache->refusal().toUtf8().constData());
    m_list->setSpillFolder(m_cache->folder());
    readSortSettings(s);
}

bool TfMain::writeSettings(QString *errorMessage) const
{
    SettingsStore s(m_settingsPath);
    s.writeInteger(kSection, QStringLiteral("Top"), y());
    s.writeInteger(kSection, QStringLiteral("Left"), x());
    s.writeInteger(kSection, QStringLiteral("Height"), clientHeight());
    s.writeInteger(kSection, QStringLiteral("Width"), width());
    for (std::size_t i = 0; i < SizeItems.size(); ++i)
        s.writeBool(kSection, QStringLiteral("Size%1").arg(i + 1), SizeItems[i]->isChecked());
    for (std::size_t i = 0; i < QualityItems.size(); ++i)
        s.writeBool(kSection, QStringLiteral("Quality%1").arg(i + 1), QualityItems[i]->isChecked());
    s.writeBool(kSection, QStringLiteral("UpDate"), UpDate1->isChecked());
    s.writeString(kSection, QStringLiteral("TN1"), N16->text());
    s.writeString(kSection, QStringLiteral("TN2"), N17->text());
    s.writeString(kSection, QStringLiteral("TN3"), N18->text());
    writeSortSettings(s);
    return s.save(errorMessage);
}

void TfMain::FormClose()
{
    QString message;
    if (!writeSettings(&message))
        showErrorReport(message, this);
}

void TfMain::closeEvent(QCloseEvent *event)
{
    // A failed save is reported and the window still closes: the user asked to leave, and
    // keeping the window open would not make the file writable.
    cancelFill();
    FormClose();
    event->accept();
    if (m_endHandler)
        m_endHandler();
}

void TfMain::ShellTreeView1Change()
{
    const QByteArray reportedNative = ShellTreeView1->selectedNativePath();
    const QString reported = QFile::decodeName(reportedNative);
    const std::string derived = browser::deriveFolderPath(
        reported.toStdString(), ShellTreeView1->selectedText().toStdString());
    FolderPath = QString::fromStdString(derived);
    // The native bytes follow the reported path when it was kept, so a folder whose name is not
    // UTF-8 is still listed.
    FolderNative = FolderPath == reported ? reportedNative : QFile::encodeName(FolderPath);
    Edit2->setText(FolderPath);
    Edit2->setToolTip(FolderPath);
    ThumbnailList();
}

void TfMain::N11Click()
{
    const WaitCursor wait;
    ShellTreeView1->reloadTree();
}

} // namespace morvane
