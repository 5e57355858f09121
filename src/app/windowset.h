// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

namespace morvane {

class TAboutBox;
class TfMain;
class TfMoco;
class TfOp;
class TfRene;
class TfView;

// The program's six windows, made once in their fixed order (fMain, fView, fMoco, fRene, fOp,
// AboutBox) with their process-wide references set as each is made; none is made again. Only
// the main window is shown (show()); closing any other window hides it. Closing the main window
// saves section "Main" and emits ended(), where the program ends; windows still open then do not
// save. The destructor destroys the windows in reverse order and clears the references. One
// instance at a time; UI thread only.
class WindowSet : public QObject
{
    Q_OBJECT

public:
    // `settingsPath`: the settings file; `treeRoot`: the folder the folder tree's top node
    // stands for (empty for the desktop). Tests pass a temporary folder for both.
    explicit WindowSet(const QString &settingsPath, const QString &treeRoot = {});
    ~WindowSet() override;

    // Shows the main window.
    void show();

    // Starts on `path` from the command line (bytes as the system gave them; relative to the
    // working folder unless absolute): a folder is selected in the folder tree, its ancestors
    // expanded, so the list is built for it as a click would; for a file, its folder is selected
    // and then the file in the list. Nothing happens for an empty path. Returns a Japanese
    // message, with the main window left as it started, when the path does not exist or the
    // folder tree does not show its folder (a hidden folder); an empty text otherwise.
    [[nodiscard]] QString openStartPath(const QByteArray &path);

    // The start: openStartPath(path) for a path given on the command line; with none, the
    // folder the main window showed when the program last closed, when the options dialog's
    // start option is on and that folder is still there (a folder that is gone or the tree
    // cannot show leaves the main window as it started, without a message).
    [[nodiscard]] QString openStart(const QByteArray &path);

    [[nodiscard]] TfMain *main() const noexcept { return m_main.get(); }
    [[nodiscard]] TfView *view() const noexcept { return m_view.get(); }
    [[nodiscard]] TfMoco *moco() const noexcept { return m_moco.get(); }
    [[nodiscard]] TfRene *rene() const noexcept { return m_rene.get(); }
    [[nodiscard]] TfOp *options() const noexcept { return m_op.get(); }
    [[nodiscard]] TAboutBox *about() const noexcept { return m_about.get(); }

signals:
    // The main window has closed (after its save); the program ends here.
    void ended();

private:
    std::unique_ptr<TfMain> m_main;
    std::unique_ptr<TfView> m_view;
    std::unique_ptr<TfMoco> m_moco;
    std::unique_ptr<TfRene> m_rene;
    std::unique_ptr<TfOp> m_op;
    std::unique_ptr<TAboutBox> m_about;
};

} // namespace morvane
