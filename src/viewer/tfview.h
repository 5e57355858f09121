// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "frame/windowrefs.h"

namespace morvane {

// The picture viewer window `fView`: created hidden at start-up, shown by the open command,
// hidden (never destroyed) when the user closes it. Its caption is set at run time. UI thread
// only.
class TfView : public ViewerBase
{
    Q_OBJECT

public:
    explicit TfView(QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void FormClose();
};

} // namespace morvane
