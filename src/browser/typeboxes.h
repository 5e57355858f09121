// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <thread>

namespace morvane::platform {
class FileIcons;
}

namespace morvane::browser {

// The boxes of other files: a white box of boxSize x boxSize pixels (Format_RGB32) with the
// 32 x 32 icon of the file's type at (boxSize div 2 - 16, boxSize div 2 - 16), drawn when the
// list first shows it. Finding a type by name costs more than decoding a small picture (Qt
// compiles some of its glob patterns on every lookup), so a build records only the name, and the
// types are looked up on a thread of their own once the list stands (lookUpAhead) or, for a box
// shown before that, when it is drawn. One box per type, shared by every file of that type.
// At a device pixel ratio above 1 the box is in device pixels and the icon is drawn at `iconSide`
// (32 times the ratio), so it keeps its logical size. box() on the UI thread (icons are rendered
// through QIcon).
class TypeBoxes
{
public:
    TypeBoxes(std::shared_ptr<platform::FileIcons> icons, int boxSize, int iconSide = 32);
    ~TypeBoxes(); // stops the lookups ahead and waits for them
    TypeBoxes(const TypeBoxes &) = delete;
    TypeBoxes &operator=(const TypeBoxes &) = delete;

    // The box of the file called `fileName`; null when memory runs out.
    [[nodiscard]] QImage box(const QString &fileName);

    // Looks up the types of `fileNames` on a thread of its own, in that order, so that the boxes
    // the list shows later find their type ready. Once per object; without a thread (none can be
    // started) every type is looked up when its box is drawn.
    void lookUpAhead(QStringList fileNames);

    [[nodiscard]] int boxSize() const { return m_boxSize; }

private:
    [[nodiscard]] QString mimeTypeOf(const QString &fileName);

    std::shared_ptr<platform::FileIcons> m_icons;
    int m_boxSize;
    int m_iconSide;
    QHash<QString, QImage> m_byMimeType; // UI thread
    std::mutex m_mutex; // guards m_mimeByName
    QHash<QString, QString> m_mimeByName;
    std::jthread m_ahead; // last: stopped and joined before the members it uses go
};

} // namespace morvane::browser
