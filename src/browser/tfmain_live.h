// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "browser/livedecoder.h"
#include "browser/typeboxes.h"
#include "platform/fileicons.h"

#include <QProgressBar>
#include <QStringList>

#include <memory>
#include <vector>

namespace morvane {

// What the live build keeps between the batches of boxes it hands to the list.
struct LiveFill
{
    std::shared_ptr<platform::FileIcons> icons = std::make_shared<platform::FileIcons>();
    std::unique_ptr<browser::LiveDecoder> decoder;
    QProgressBar *progress = nullptr; // at the status bar's right: "読み込み中 n / m"
    quint64 lastId = 0; // live ids handed out so far (per window, never reused)

    // The running build.
    bool active = false;
    bool repaintEach = true; // "UpDate" as the build started
    bool settingUp = false; // the list is being filled with its items
    quint64 firstId = 0; // the build's ids are firstId + 1 .. firstId + jobs
    std::vector<int> rowHint; // per job: the row it was listed at
    int jobs = 0;
    int delivered = 0;
    std::int64_t cacheWrites = 0;
    std::shared_ptr<browser::TypeBoxes> typeBoxes;
    QStringList otherNames;
    int lastScroll = 0;
};

} // namespace morvane
