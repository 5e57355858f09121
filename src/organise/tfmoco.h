// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace morvane {

// The copy, move and new-folder dialog `fMoco`, shown by the copy and move command (non-modal).
// Created hidden at start-up; closing it only hides it. UI thread only.
class TfMoco : public QWidget
{
    Q_OBJECT

public:
    explicit TfMoco(QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void FormClose();
};

} // namespace morvane
