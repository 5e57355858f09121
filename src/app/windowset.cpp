// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/windowset.h"

#include "app/aboutbox.h"
#include "browser/tfmain.h"
#include "frame/windowrefs.h"
#include "organise/tfmoco.h"
#include "organise/tfrene.h"
#include "tools/tfop.h"
#include "viewer/tfview.h"

namespace morvane {

WindowSet::WindowSet(const QString &settingsPath, const QString &treeRoot)
{
    Q_ASSERT(fMain == nullptr);
    // Each reference is set as soon as its window exists: later windows' creation handlers may
    // reach the earlier ones.
    m_main = std::make_unique<TfMain>(settingsPath, treeRoot);
    m_main->setEndHandler([this] {
        emit ended();
    });
    fMain = m_main.get();
    m_view = std::make_unique<TfView>();
    fView = m_view.get();
    m_moco = std::make_unique<TfMoco>();
    fMoco = m_moco.get();
    m_rene = std::make_unique<TfRene>();
    fRene = m_rene.get();
    m_op = std::make_unique<TfOp>(settingsPath);
    fOp = m_op.get();
    m_about = std::make_unique<TAboutBox>();
    AboutBox = m_about.get();
}

WindowSet::~WindowSet()
{
    AboutBox = nullptr;
    m_about.reset();
    fOp = nullptr;
    m_op.reset();
    fRene = nullptr;
    m_rene.reset();
    fMoco = nullptr;
    m_moco.reset();
    fView = nullptr;
    m_view.reset();
    fMain = nullptr;
    m_main.reset();
}

void WindowSet::show()
{
    m_main->show();
}

} // namespace morvane
