// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace morvane {

// The batch rename dialog `fRene`, shown by the rename command (non-modal). Created hidden at
// start-up; closing it only hides it. UI thread only.
class TfRene : public QWidget
{
    Q_OBJECT

public:
    explicit TfRene(QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void FormClose();
};

} // namespace morvane
