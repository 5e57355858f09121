// SPDX-License-Identifier: GPL-3.0-or-later
// The list's sort orders: the "並べ替え" submenu at the end of the view menu, its keys in section
// "Option" of the settings file (the last folder in a section "Start" of its own), and the date
// taken looked up from the files' Exif.
#include "browser/exifbytes.h"
#include "browser/filelistmodel.h"
#include "browser/tfmain.h"
#include "exif/exifreader.h"
#include "frame/errorreport.h"
#include "frame/settingsstore.h"
#include "platform/folderscan.h"

#include <QFile>
#include <QListView>
#include <QMenu>
#include <QMenuBar>

namespace morvane {

namespace {

    const QString kOption = QStringLiteral("Option");
    const QString kSortKey = QStringLiteral("SortKey");
    const QString kSortDescending = QStringLiteral("SortDescending");
    const QString kLastFolder = QStringLiteral("LastFolder");
    // A section of its own: the three sections of the design keep exactly their keys.
    const QString kStart = QStringLiteral("Start");

    // Takes DateTimeOriginal alone from the walk; every other value is skipped unread.
    class TakenSink final : public exif::ExifEntrySink
    {
    public:
        std::optional<std::int64_t> taken;

        void noExif() override {}
        [[nodiscard]] exif::ValueRequest request(std::uint16_t t) const override
        {
            return t == exif::tag::DateTimeOriginal && !taken ? exif::ValueRequest::Decode
                                                              : exif::ValueRequest::Skip;
        }
        [[nodiscard]] std::optional<exif::ExifError> entry(const exif::ExifEntry &e) override
        {
            if (e.tag == exif::tag::DateTimeOriginal)
                taken = browser::takenSeconds(e.text);
            return std::nullopt;
        }
    };

} // namespace

std::optional<std::int64_t> TfMain::dateTaken(const QByteArray &nativePath)
{
    browser::ExifBytes file(nativePath);
    if (file.status() != browser::ExifBytes::Status::Ok)
        return std::nullopt;
    TakenSink sink;
    // A walk that ends in an error keeps the date met before it; a file without one is undated.
    (void)exif::walkExif(file, sink);
    return sink.taken;
}

void TfMain::buildSortMenu(QMenu *view)
{
    auto item = [this](const QString &caption, QActionGroup *group, int tag) {
        auto *a = new QAction(caption, this);
        a->setMenuRole(QAction::NoRole);
        a->setCheckable(true);
        a->setData(tag);
        group->addAction(a);
        return a;
    };
    m_sortKeyGroup = new QActionGroup(this);
    m_sortDirectionGroup = new QActionGroup(this);
    const char *const keys[] = {"名前", "名前 (数字順)", "更新日時", "撮影日時", "サイズ", "種類"};
    for (std::size_t i = 0; i < SortKeyItems.size(); ++i)
        SortKeyItems[i] = item(QString::fromUtf8(keys[i]), m_sortKeyGroup, static_cast<int>(i));
    SortAscending = item(QStringLiteral("昇順"), m_sortDirectionGroup, 0);
    SortDescending = item(QStringLiteral("降順"), m_sortDirectionGroup, 1);
    SortKeyItems[0]->setChecked(true);
    SortAscending->setChecked(true);

    view->addSeparator();
    QMenu *sort = view->addMenu(QStringLiteral("並べ替え"));
    for (QAction *a : SortKeyItems)
        sort->addAction(a);
    sort->addSeparator();
    sort->addAction(SortAscending);
    sort->addAction(SortDescending);

    for (QActionGroup *g : {m_sortKeyGroup, m_sortDirectionGroup}) {
        connect(g, &QActionGroup::triggered, this, [this] {
            reportErrors([&] {
                applySortOrder();
            });
        });
    }
    m_list->setTakenLookup([this](const ListEntry &e) {
        return dateTaken(platform::joinNative(FolderNative, e.nativeName));
    });
}

browser::SortOrder TfMain::checkedSortOrder() const
{
    browser::SortOrder order;
    const QAction *key = m_sortKeyGroup->checkedAction();
    order.key = browser::sortKeyFromNumber(key != nullptr ? key->data().toInt() : 0)
                    .value_or(browser::SortKey::Name);
    order.descending = SortDescending->isChecked();
    return order;
}

void TfMain::applySortOrder()
{
    const browser::SortOrder order = checkedSortOrder();
    if (order == m_list->sortOrder())
        return;
    const QByteArray anchor = SelectedIndex >= 0 && SelectedIndex < m_list->count()
        ? m_list->entry(SelectedIndex).nativeName
        : QByteArray();
    m_list->setSortOrder(order);
    // The selection followed its items; the names and the anchor of a shift-click follow the
    // new list order.
    if (!anchor.isEmpty())
        SelectedIndex = std::max(m_list->findNative(anchor), 0);
    if (!SelectedNames.isEmpty())
        ListView1SelectItem();
    if (ListView1->currentIndex().isValid())
        ListView1->scrollTo(ListView1->currentIndex());
}

void TfMain::readSortSettings(const SettingsStore &s)
{
    m_lastFolder = QFile::encodeName(s.readString(kStart, kLastFolder, QString()));
    // A file without the keys (written before they existed) gives the order by name, ascending;
    // a number that names no order does too.
    const int key = s.readInteger(kOption, kSortKey, 0);
    const auto known = browser::sortKeyFromNumber(key).value_or(browser::SortKey::Name);
    SortKeyItems[static_cast<std::size_t>(known)]->setChecked(true);
    (s.readBool(kOption, kSortDescending, false) ? SortDescending : SortAscending)
        ->setChecked(true);
    applySortOrder();
}

void TfMain::writeSortSettings(SettingsStore &s) const
{
    // The folder as the path field shows it; the start falls back quietly when it is gone.
    if (!FolderPath.isEmpty())
        s.writeString(kStart, kLastFolder, FolderPath);
    // Section "Option" is the options dialog's: the order goes there once it is not the design
    // order or the file holds it already, so a main window that never changed it writes no
    // section of another window.
    const browser::SortOrder order = checkedSortOrder();
    const bool stored = !s.readString(kOption, kSortKey, QString()).isEmpty()
        || !s.readString(kOption, kSortDescending, QString()).isEmpty();
    if (order == browser::SortOrder {} && !stored)
        return;
    s.writeInteger(kOption, kSortKey, static_cast<int>(order.key));
    s.writeBool(kOption, kSortDescending, order.descending);
}

} // namespace morvane
