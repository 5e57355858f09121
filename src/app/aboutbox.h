// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace morvane {

// The version dialog "バージョン": a fixed 160 × 240 client area filled by a picture drawn in
// code, "Ver 1.0" in white over it at (8, 224) and the default button "OK" at (79, 212), 75 × 25.
// Centred on the screen each time it is shown; it keeps no state. Shown modally. UI thread only.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget *parent = nullptr);

    // The dialog's picture, 160 × 240 pixels.
    [[nodiscard]] static QPixmap picture();

    QLabel *Image1 = nullptr;
    QLabel *Label1 = nullptr;
    QPushButton *OKButton = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
};

} // namespace morvane
