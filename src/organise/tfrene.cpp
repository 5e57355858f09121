// SPDX-License-Identifier: GPL-3.0-or-later
#include "organise/tfrene.h"

#include "files/dialogprompter.h"
#include "files/fileoperations.h"
#include "files/renamerun.h"
#include "files/undojournal.h"
#include "frame/windowrefs.h"
#include "organise/comboboxhistory.h"
#include "organise/renamelang.h"
#include "organise/renamepreview.h"
#include "platform/folderscan.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace morvane {

namespace {

    // The design client area; controls keep their distance to its right and bottom edges.
    constexpr int kClientWidth = 210;
    constexpr int kClientHeight = 366;
    // The room the preview button adds beside the controls.
    constexpr int kPreviewWidth = 420;

    QString fromUtf8(std::string_view s)
    {
        return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    }

    // Passes the questions and the progress on and keeps the failures, so that a run ends with
    // one box instead of one per file.
    class CollectingPrompter final : public files::Prompter
    {
    public:
        explicit CollectingPrompter(files::Prompter &inner)
            : m_inner(inner)
        {}
        [[nodiscard]] files::ReplaceAnswer askReplace(
            const QByteArray &source, const QByteArray &target, bool more) override
        {
            return m_inner.askReplace(source, target, more);
        }
        [[nodiscard]] bool confirm(const QString &question) override
        {
            return m_inner.confirm(question);
        }
        void reportError(const QString &message) override { errors << message; }
        void progressStarted(const QString &title, qint64 total) override
        {
            m_inner.progressStarted(title, total);
        }
        [[nodiscard]] bool progressed(qint64 done, const QByteArray &current) override
        {
            return m_inner.progressed(done, current);
        }
        void progressFinished() override { m_inner.progressFinished(); }

        QStringList errors;

    private:
        files::Prompter &m_inner;
    };

    // The one box after a run: each file that kept its name and why (the preview's mark where it
    // knew, then the file operations' own reports where it did not), at most kSummaryLines of
    // them; empty when every file got its name.
    constexpr int kSummaryLines = 20;
    QString runSummary(const std::vector<organise::PreviewRow> &rows,
        const std::vector<bool> &given,
        const QStringList &errors)
    {
        QStringList lines;
        int failed = 0;
        int explained = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const organise::PreviewRow &row = rows[i];
            if (given[i] || row.mark == organise::PreviewMark::Unchanged)
                continue;
            ++failed;
            explained += row.fails && row.mark != organise::PreviewMark::Refused ? 1 : 0;
            QString line = platform::captionOfName(QByteArray::fromStdString(row.oldName));
            if (!row.newName.empty())
                line += QStringLiteral(" → ")
                    + platform::captionOfName(QByteArray::fromStdString(row.newName));
            if (row.fails)
                line += QStringLiteral(": ") + fromUtf8(row.text);
            if (lines.size() < kSummaryLines)
                lines << line;
        }
        // Every file got its name; what went wrong besides (the undo record) is told as it is.
        if (failed == 0)
            return errors.join(QLatin1Char('\n'));
        if (failed > kSummaryLines)
            lines << QStringLiteral("ほか %1 個").arg(failed - kSummaryLines);
        // Refusals the preview foresaw come back from the file operations once each.
        if (errors.size() > explained)
            lines << QString() << errors;
        return QStringLiteral("次の %1 個のファイルの名前は変更できませんでした。").arg(failed)
            + QStringLiteral("\n\n") + lines.join(QLatin1Char('\n'));
    }

    void setBorderlessReadOnly(QLineEdit *edit)
    {
        edit->setReadOnly(true);
        edit->setFrame(false);
        edit->setFocusPolicy(Qt::ClickFocus);
    }

} // namespace

TfRene::TfRene(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_dialogs(std::make_unique<files::DialogPrompter>(this))
    , m_prompter(m_dialogs.get())
{
    setWindowTitle(QStringLiteral("名前の変更"));
    // Design placement: outer 218 × 400 at (191, 113), also the minimum: a client area of
    // 210 × 366.
    move(191, 113);
    resize(kClientWidth, kClientHeight);
    setMinimumSize(kClientWidth, kClientHeight);
    FormCreate();
}

TfRene::~TfRene() = default;

QStringList TfRene::helpLines()
{
    return {
        QStringLiteral("詳しくは、ヘルプをご覧ください。"),
        QStringLiteral("\\/:*?\"<>|　は、ファイル名に使えません。"),
        QString(),
        QStringLiteral("　<<　残す　　<3<　３文字残す"),
        QString(),
        QStringLiteral("　>>　消す　　>2>　２文字消す"),
        QString(),
        QStringLiteral("指定のない文字は、基本的に消えます。"),
        QStringLiteral("入力項目優先です。全角は１文字で２になります。"),
        QStringLiteral("拡張子は、入力しなければそのまま使います。"),
        QString(),
        QStringLiteral("　\\\\　連番の数字の桁数　　\\2\\　２桁"),
        QString(),
        QStringLiteral("連番開始番号から１づつ増えていきます。"),
        QString(),
        QStringLiteral("　**　小文字にします　*5* ５文字小文字に"),
        QString(),
        QStringLiteral("　??　大文字にします　?1?　１文字大文字に"),
        QString(),
        QStringLiteral("拡張子は、*または?を入れると、すべて小文字大文字になります。"),
        QString(),
        QStringLiteral("　//　数字の桁をそろえます　/2/　２桁に"),
        QString(),
        QStringLiteral("1なら01になります。（数字かどうかは判断してません）"),
    };
}

void TfRene::FormCreate()
{
    Label1 = new QLabel(QStringLiteral("現在のファイル名"), this);
    Label1->move(8, 16);
    Edit1 = new QLineEdit(this);
    Edit1->setGeometry(8, 32, 193, 20);
    setBorderlessReadOnly(Edit1);
    Label2 = new QLabel(QStringLiteral("新しいファイル名"), this);
    Label2->move(8, 64);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setEditable(true);
    // The history grows only by the run's own rule, never by Enter.
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setGeometry(8, 80, 193, 20);
    Label3 = new QLabel(QStringLiteral("連番開始番号"), this);
    Label3->move(8, 112);
    Label3->setEnabled(false);
    Edit2 = new QLineEdit(QStringLiteral("1"), this);
    Edit2->setGeometry(8, 128, 193, 20);
    Edit2->setEnabled(false);
    Label4 = new QLabel(QStringLiteral("前回の最後のファイル名"), this);
    Label4->move(8, 160);
    Edit3 = new QLineEdit(this);
    Edit3->setGeometry(8, 176, 193, 20);
    setBorderlessReadOnly(Edit3);
    Label5 = new QLabel(QStringLiteral("制御文字ヘルプ"), this);
    Label5->move(8, 208);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setGeometry(8, 224, 193, 97);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    // A vertical bar only: a horizontal one would take a line's height from the 97 pixels.
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setFocusPolicy(Qt::ClickFocus);
    Memo1->setPlainText(helpLines().join(QLatin1Char('\n')));
    BitBtn1 = new QPushButton(QStringLiteral("実行"), this);
    BitBtn1->setGeometry(16, 328, 75, 25);
    BitBtn2 = new QPushButton(QStringLiteral("キャンセル"), this);
    BitBtn2->setGeometry(120, 328, 75, 25);
    for (QLabel *l : {Label1, Label2, Label3, Label4, Label5})
        l->adjustSize();

    // Beside the help label, in the room the design leaves there; no tab stop, so the designed
    // tab order stays.
    m_previewButton = new QPushButton(this);
    m_previewButton->setGeometry(111, 203, 90, 19);
    m_previewButton->setFocusPolicy(Qt::NoFocus);
    m_preview = new QTreeWidget(this);
    m_preview->setHeaderLabels(
        {QStringLiteral("現在の名前"), QStringLiteral("新しい名前"), QStringLiteral("注意")});
    m_preview->setRootIsDecorated(false);
    m_preview->setUniformRowHeights(true);
    m_preview->setFocusPolicy(Qt::ClickFocus);
    m_preview->hide();
    setPreviewShown(false);

    setTabOrder(ComboBox1, Edit2);
    setTabOrder(Edit2, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);

    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        BitBtn1Click();
    });
    connect(BitBtn2, &QPushButton::clicked, this, [this] {
        BitBtn2Click();
    });
    // Enter in the pattern or the start number runs; the line edits consume the key.
    connect(ComboBox1->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        BitBtn1Click();
    });
    connect(Edit2, &QLineEdit::returnPressed, this, [this] {
        BitBtn1Click();
    });
    connect(m_previewButton, &QPushButton::clicked, this, [this] {
        setPreviewShown(!m_previewShown);
    });
    connect(ComboBox1, &QComboBox::editTextChanged, this, [this] {
        updatePreview();
    });
    connect(Edit2, &QLineEdit::textChanged, this, [this] {
        updatePreview();
    });
}

void TfRene::setPreviewShown(bool shown)
{
    m_previewButton->setText(
        shown ? QStringLiteral("≪ プレビュー(&P)") : QStringLiteral("プレビュー(&P) ≫"));
    if (shown == m_previewShown)
        return;
    m_previewShown = shown;
    m_preview->setVisible(shown);
    // The width before the minimum changes, which may resize the window itself.
    const int before = width();
    setMinimumWidth(shown ? kClientWidth + kPreviewWidth / 2 : kClientWidth);
    resize(
        shown ? before + kPreviewWidth : std::max(kClientWidth, before - kPreviewWidth), height());
    rereadPreview();
}

void TfRene::rereadPreview()
{
    if (m_previewShown && fMain != nullptr)
        m_folderNames = platform::entryNames(fMain->FolderNative);
    updatePreview();
}

void TfRene::updatePreview()
{
    if (!m_previewShown)
        return;
    const QList<QByteArray> names = fMain != nullptr ? fMain->SelectedNames : QList<QByteArray>();
    std::vector<std::string> oldNames;
    for (const QByteArray &name : names)
        oldNames.push_back(name.toStdString());
    // The start number as the run reads it; one that is no integer refuses every name.
    const QString startText = Edit2->text();
    const auto start = startText.isEmpty()
        ? std::optional<std::int32_t>(0)
        : organise::parseStartNumber(startText.toUtf8().toStdString());
    organise::RenameRun run;
    if (start) {
        run = organise::buildNewNames(
            oldNames, ComboBox1->currentText().toUtf8().toStdString(), *start);
    } else {
        // Any error of the whole run marks every row with its message.
        run.patternError = organise::RenameError::Grammar;
        run.patternMessage = organise::notIntegerMessage(startText.toUtf8().toStdString());
    }
    m_preview->clear();
    QList<QTreeWidgetItem *> items;
    for (const organise::PreviewRow &row : organise::previewRename(oldNames, run, m_folderNames)) {
        auto *item =
            new QTreeWidgetItem({platform::captionOfName(QByteArray::fromStdString(row.oldName)),
                platform::captionOfName(QByteArray::fromStdString(row.newName)),
                fromUtf8(row.text)});
        if (row.mark != organise::PreviewMark::Free && row.mark != organise::PreviewMark::Unchanged)
            item->setForeground(2, QColor(Qt::red));
        item->setToolTip(2, item->text(2)); // a long mark is cut off in its column
        items << item;
    }
    m_preview->addTopLevelItems(items);
    m_preview->resizeColumnToContents(0);
    m_preview->resizeColumnToContents(1);
}

void TfRene::FormClose() {}

void TfRene::setPrompter(files::Prompter *prompter)
{
    m_prompter = prompter != nullptr ? prompter : m_dialogs.get();
}

void TfRene::setMessageShower(MessageShower shower)
{
    m_shower = std::move(shower);
}

void TfRene::message(const QString &text)
{
    showMessage(m_shower, this, QMessageBox::NoIcon, QApplication::applicationDisplayName(), text);
}

void TfRene::addHistory(const QString &pattern)
{
    appendToHistory(ComboBox1, pattern);
}

void TfRene::FormShow()
{
    const qsizetype n = fMain != nullptr ? fMain->SelectedNames.size() : 0;
    Edit2->setEnabled(n >= 2);
    Label3->setEnabled(n >= 2);
    // A start number the user cannot reach must not stop a run: a disabled edit holds "1".
    if (!Edit2->isEnabled())
        Edit2->setText(QStringLiteral("1"));
    if (n > 0) {
        Edit1->setText(platform::captionOfName(fMain->SelectedNames.front()));
        Label1->setText(QStringLiteral("現在のファイル名　(選択　%1　file)").arg(n));
        Label1->adjustSize();
    }
    rereadPreview();
}

void TfRene::BitBtn1Click()
{
    const QString pattern = ComboBox1->currentText();
    if (pattern.isEmpty()) {
        message(fromUtf8(organise::kEmptyPatternMessage));
        return;
    }
    addHistory(pattern);

    std::int64_t start = 0;
    const QString startText = Edit2->text();
    if (startText.isEmpty()) {
        message(fromUtf8(organise::kEmptyStartMessage));
    } else if (const auto n = organise::parseStartNumber(startText.toUtf8().toStdString())) {
        start = *n;
    } else {
        message(fromUtf8(organise::notIntegerMessage(startText.toUtf8().toStdString())));
        return;
    }

    // The selection of this moment; the list may change under the run, the names do not.
    const QList<QByteArray> names = fMain != nullptr ? fMain->SelectedNames : QList<QByteArray>();
    const QByteArray folder = fMain != nullptr ? fMain->FolderNative : QByteArray();
    std::vector<std::string> oldNames;
    oldNames.reserve(static_cast<std::size_t>(names.size()));
    for (const QByteArray &name : names)
        oldNames.push_back(name.toStdString());
    const organise::RenameRun run =
        organise::buildNewNames(oldNames, pattern.toUtf8().toStdString(), start);
    // A pattern error surfaces on the first file; with no file there is nothing to report.
    if (!names.isEmpty() && run.patternError != organise::RenameError::None) {
        message(fromUtf8(run.patternMessage));
        return;
    }

    // Names that files of the run give up are taken in an order that works; a name held by a
    // file outside the run, or given twice, is refused and that file keeps its name. What the
    // run could not do comes in one box at the end, in the preview's words.
    const std::vector<organise::PreviewRow> rows =
        organise::previewRename(oldNames, run, platform::entryNames(folder));
    std::vector<std::pair<QByteArray, QByteArray>> renames;
    std::vector<std::size_t> renameRow;
    for (std::size_t i = 0; i < run.results.size(); ++i) {
        const organise::RenameResult &r = run.results[i];
        if (r.ok() && r.name != oldNames[i]) {
            renames.emplace_back(
                names[static_cast<qsizetype>(i)], QByteArray::fromStdString(r.name));
            renameRow.push_back(i);
        }
    }
    CollectingPrompter collector(*m_prompter);
    files::UndoJournal journal(files::UndoJournal::defaultFolder());
    const std::vector<bool> done = files::renameRun(collector, journal, folder, renames);
    std::vector<bool> given(rows.size(), false);
    for (std::size_t k = 0; k < renames.size(); ++k) {
        given[renameRow[k]] = done[k];
        // The last name the run actually gave.
        if (done[k])
            Edit3->setText(QFile::decodeName(renames[k].second));
    }
    moveListItems(renames, done);
    if (const QString summary = runSummary(rows, given, collector.errors); !summary.isEmpty())
        message(summary);
    if (fMain != nullptr)
        fMain->RebuildSelectedNames();
    Edit2->setText(QStringLiteral("1"));
    close();
}

void TfRene::moveListItems(
    const std::vector<std::pair<QByteArray, QByteArray>> &renames, const std::vector<bool> &done)
{
    if (fMain == nullptr)
        return;
    // Through a name no file can have (it holds NUL) first, so that in a swap each item is found
    // by its own old name.
    for (std::size_t i = 0; i < renames.size(); ++i) {
        if (done[i])
            fMain->RenameListItem(renames[i].first, QByteArray(1, '\0') + QByteArray::number(i));
    }
    for (std::size_t i = 0; i < renames.size(); ++i) {
        if (done[i])
            fMain->RenameListItem(QByteArray(1, '\0') + QByteArray::number(i), renames[i].second);
    }
}

void TfRene::BitBtn2Click()
{
    close();
}

void TfRene::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    FormShow();
}

void TfRene::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // With the preview shown the controls keep the design width and the preview takes the rest.
    const int dw = m_previewShown ? 0 : width() - kClientWidth;
    const int dh = height() - kClientHeight;
    m_previewButton->move(111 + dw, 203);
    m_preview->setGeometry(kClientWidth, 16, width() - kClientWidth - 8, 337 + dh);
    for (QWidget *w : {static_cast<QWidget *>(Edit1),
             static_cast<QWidget *>(ComboBox1),
             static_cast<QWidget *>(Edit2),
             static_cast<QWidget *>(Edit3)})
        w->resize(193 + dw, 20);
    Memo1->resize(193 + dw, 97 + dh);
    BitBtn1->move(16 + dw, 328 + dh);
    BitBtn2->move(120 + dw, 328 + dh);
}

void TfRene::closeEvent(QCloseEvent *event)
{
    // Closing only hides the window; it lives until the program ends.
    FormClose();
    event->accept();
}

} // namespace morvane
