// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QImage>
#include <QString>

#include <memory>

namespace morvane::platform {
class FileIcons;
}

namespace morvane::browser {

// The boxes of other files: a white box of boxSize x boxSize pixels (Format_RGB32) with the
// 32 x 32 icon of the file's type at (boxSize div 2 - 16, boxSize div 2 - 16), drawn when the
// list first shows it. Finding a type by name costs more than decoding a small picture (Qt
// compiles some of its glob patterns on every lookup), so a build records only the name and a
// folder of thousands of other files looks up the few on screen. One box per type, shared by
// every file of that type. UI thread (icons are rendered through QIcon).
class TypeBoxes
{
public:
    TypeBoxes(std::shared_ptr<platform::FileIcons> icons, int boxSize);

    // The box of the file called `fileName`; null when memory runs out.
    [[nodiscard]] QImage box(const QString &fileName);

    [[nodiscard]] int boxSize() const { return m_boxSize; }

private:
    std::shared_ptr<platform::FileIcons> m_icons;
    int m_boxSize;
    QHash<QString, QImage> m_byMimeType;
};

} // namespace morvane::browser
