// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the main window tests: a fresh desktop folder for every test, dated files,
// camera-like JPEG files that decode and carry Exif, a catcher for message boxes, and clicks on
// list items.
#pragma once

#include "browser/census.h"
#include "browser/filelistmodel.h"
#include "browser/tfmain.h"
#include "browser/tfmain_grid.h"
#include "exif/exifreader.h"
#include "platform/foldertree.h"
#include "support/imagefixtures.h"
#include "support/jpegbuilder.h"
#include "support/tempfolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListView>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace morvane::test {

// The date text the window shows for a file written by writeDated.
inline const QString kDate = QStringLiteral("2004/05/12 9:05:30");

// Writes `bytes` to `path` and dates it 2004-05-12 09:05:31, local time.
inline bool writeDated(const QByteArray &path, const QByteArray &bytes)
{
    return writeFile(path, bytes) && setModified(path, 2004, 5, 12, 9, 5, 31);
}

// A JPEG of `width` x `height` pixels of one colour.
inline QByteArray plainJpeg(int width, int height)
{
    return testsupport::jpegBytes({.width = width, .height = height});
}

// The captions of the list, in list order.
inline QStringList captions(const FileListModel &m)
{
    QStringList out;
    for (int r = 0; r < m.count(); ++r)
        out << m.entry(r).caption;
    return out;
}

// The native bytes of UTF-8 names, as the window hands them on.
inline QList<QByteArray> nativeNames(const QStringList &names)
{
    QList<QByteArray> out;
    for (const QString &n : names)
        out << QFile::encodeName(n);
    return out;
}

// The census the window's list calls for: its item count and the sum of their sizes.
inline QString listCensus(const FileListModel &m)
{
    std::int64_t bytes = 0;
    for (int r = 0; r < m.count(); ++r)
        bytes += m.entry(r).record.value(SizeField).toLongLong();
    return QString::fromStdString(browser::censusText(m.count(), bytes));
}

// Waits until the window's live build has filled every box; false after 20 s.
[[nodiscard]] inline bool waitFilled(const TfMain &w)
{
    return QTest::qWaitFor(
        [&] {
            return !w.isFilling();
        },
        20000);
}

// The base of the main window test classes: a temporary folder holding the tree's desktop
// folder "desk" and, beside it, the settings file; made afresh for every test.
class DeskTest : public QObject
{
protected:
    // For init(): the temporary folder and the desktop folder in it.
    [[nodiscard]] bool makeDesk()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        if (!m_dir->isValid())
            return false;
        m_desk = inFolder(nativeOf(*m_dir), "desk");
        m_settings = m_dir->filePath(QStringLiteral("morvane.ini"));
        return makeFolder(m_desk);
    }

    // For cleanup(): everything removed by native names, then every window gone.
    void clearDesk()
    {
        QVERIFY(removeContents(nativeOf(*m_dir)));
        m_dir.reset();
        QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    // A main window on `folder`, shown and exposed when `show`; `prepare` runs on it before the
    // folder is chosen. Null when the folder cannot be chosen or the window is not exposed.
    // With `waitBoxes` it returns once every box is filled, else while the live build runs.
    [[nodiscard]] std::unique_ptr<TfMain> openOn(const QByteArray &folder,
        bool show = true,
        const std::function<void(TfMain &)> &prepare = {},
        bool waitBoxes = true) const
    {
        auto w = std::make_unique<TfMain>(m_settings, QFile::decodeName(m_desk));
        if (prepare)
            prepare(*w);
        if (!w->ShellTreeView1->selectPath(folder) || (waitBoxes && !waitFilled(*w)))
            return nullptr;
        if (show) {
            w->show();
            if (!QTest::qWaitForWindowExposed(w.get()))
                return nullptr;
        }
        return w;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_desk;
    QString m_settings;
};

// A JPEG of `width` x `height` pixels that decodes, with the Exif segment holding `tiff` right
// after its start-of-image marker, as a camera writes it.
inline QByteArray cameraJpeg(int width, int height, const std::vector<std::uint8_t> &tiff)
{
    const QByteArray picture = plainJpeg(width, height);
    if (picture.size() < 2)
        return {};
    testsupport::JpegOptions options;
    options.endMarker = false;
    const std::vector<std::uint8_t> head = testsupport::exifJpeg(tiff, options);
    QByteArray out(
        reinterpret_cast<const char *>(head.data()), static_cast<qsizetype>(head.size()));
    out += picture.mid(2); // the picture's own segments after its start-of-image marker
    return out;
}

// The Exif block of a camera: Make and Model in IFD0, then the Exif directory.
inline std::vector<std::uint8_t> cameraTiff(int width, int height)
{
    namespace tag = exif::tag;
    testsupport::TiffBuilder b(testsupport::ByteOrder::Little);
    const std::size_t sub = b.addIfd();
    b.ascii(0, tag::Make, "Canon");
    b.ascii(0, tag::Model, "Canon EOS 10D");
    b.pointer(0, tag::ExifPointer, sub);
    b.rational(sub, tag::ExposureTime, 1, 125);
    b.rational(sub, tag::FNumber, 28, 10);
    b.shortValue(sub, tag::ExposureProgram, 2);
    b.shortValue(sub, tag::IsoSpeedRatings, 400);
    b.ascii(sub, tag::DateTimeOriginal, "2004:05:12 10:20:30");
    b.srational(sub, tag::ShutterSpeedValue, 7, 1);
    b.srational(sub, tag::ExposureBiasValue, 1, 3);
    b.shortValue(sub, tag::MeteringMode, 5);
    b.shortValue(sub, tag::Flash, 0);
    b.rational(sub, tag::FocalLength, 50, 1);
    b.shortValue(sub, tag::PixelXDimension, static_cast<std::uint16_t>(width));
    b.shortValue(sub, tag::PixelYDimension, static_cast<std::uint16_t>(height));
    return b.build().bytes;
}

// The rows cameraTiff(64, 48) gives, worked out by hand (ShutterSpeedValue is passed over after
// ExposureTime).
inline QList<QStringList> cameraRows()
{
    return {
        {QStringLiteral("メーカー名："), QStringLiteral("Canon")},
        {QStringLiteral("製品名："), QStringLiteral("Canon EOS 10D")},
        {QStringLiteral("シャッター速度："), QStringLiteral("1/125(s)")},
        {QStringLiteral("絞り値："), QStringLiteral("2.8")},
        {QStringLiteral("露出モード："), QStringLiteral("プログラム")},
        {QStringLiteral("ＩＳＯ感度："), QStringLiteral("400")},
        {QStringLiteral("撮影日時："), QStringLiteral("2004:05:12 10:20:30")},
        {QStringLiteral("露出補正："), QStringLiteral("+0.3(EV)")},
        {QStringLiteral("測光モード："), QStringLiteral("マルチパターン測光")},
        {QStringLiteral("フラッシュ発光："), QStringLiteral("OFF")},
        {QStringLiteral("焦点距離："), QStringLiteral("50mm")},
        {QStringLiteral("画像サイズ："), QStringLiteral("64×48")},
    };
}

// Closes every message box that opens while it lives, recording what it showed; `onShown` runs
// while the box is up (the handler that opened it is still running then).
class ModalCatcher
{
public:
    struct Seen
    {
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QList<QMessageBox::StandardButton> buttons;
    };

    explicit ModalCatcher(std::function<void()> onShown = {})
        : m_onShown(std::move(onShown))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            poll();
        });
        m_timer.start();
    }

    [[nodiscard]] const QList<Seen> &seen() const noexcept { return m_seen; }
    [[nodiscard]] QStringList texts() const
    {
        QStringList out;
        for (const Seen &s : m_seen)
            out << s.text;
        return out;
    }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal == nullptr)
            return;
        Seen s;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            s.caption = box->windowTitle();
            s.text = box->text();
            s.icon = box->icon();
            for (QAbstractButton *b : box->buttons())
                s.buttons << box->standardButton(b);
        } else {
            s.text =
                QStringLiteral("<%1>").arg(QString::fromLatin1(modal->metaObject()->className()));
        }
        m_seen << s;
        if (m_onShown)
            m_onShown();
        modal->close();
    }

    QTimer m_timer;
    std::function<void()> m_onShown;
    QList<Seen> m_seen;
};

// Clicks list item `row` as the user does (`modifiers` Ctrl adds it to the selection).
inline void clickItem(TfMain &w, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QModelIndex index = w.listModel()->index(row);
    w.ListView1->scrollTo(index);
    QTest::mouseClick(w.ListView1->viewport(),
        Qt::LeftButton,
        modifiers,
        w.ListView1->visualRect(index).center());
}

// The grid's rows from `first` on, as (label, value) pairs.
inline QList<QStringList> gridRows(const StringGrid &grid, int first)
{
    QList<QStringList> out;
    for (int row = first; row < grid.gridRowCount(); ++row)
        out << QStringList {grid.cell(0, row), grid.cell(1, row)};
    return out;
}

// Stands in for the viewer: remembers the request it found when it was shown and the files the
// main window told it were renamed or removed.
class RecordingViewer : public ViewerBase
{
public:
    QByteArray shownPath;
    bool requestedWhenShown = false;
    int shows = 0;

    QList<QByteArray> renamed; // old path, new path, ...
    QList<QByteArray> removed;

    void pictureRenamed(const QByteArray &oldPath, const QByteArray &newPath) override
    {
        renamed << oldPath << newPath;
    }
    void pictureRemoved(const QByteArray &path) override { removed << path; }

protected:
    void showEvent(QShowEvent *event) override
    {
        ViewerBase::showEvent(event);
        shownPath = OpenPath;
        requestedWhenShown = fMain != nullptr && fMain->OpenRequested;
        ++shows;
    }
};

} // namespace morvane::test
