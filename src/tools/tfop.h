// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace morvane {

// The options dialog `fOp` of the registered tools, shown by the options command (non-modal).
// Created hidden at start-up; closing it only hides it. UI thread only.
class TfOp : public QWidget
{
    Q_OBJECT

public:
    explicit TfOp(QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void FormClose();
};

} // namespace morvane
