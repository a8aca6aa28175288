#include "app/frmMain.h"

#include "platform/KeyCodes.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

void frmMain::connectCommands()
{
    for (qint16 i = 0; i < 4; ++i)
        connect(cmdNavigate[i], &QPushButton::clicked, this, [this, i] { cmdNavigate_Click(i); });
    connect(chkFitToWindow, &QCheckBox::toggled, this, [this] { chkFitToWindow_Click(); });
    mnuFitToWindow->setCheckable(true);
    rcmnuFitToWindow->setCheckable(true);

    const auto on = [this](QAction *action, void (frmMain::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    on(mnuFitToWindow, &frmMain::mnuFitToWindow_Click);
    on(mnuFitWidth, &frmMain::mnuFitWidth_Click);
    on(mnuFitHeight, &frmMain::mnuFitHeight_Click);
    on(mnuTwoPages, &frmMain::mnuTwoPages_Click);
    on(mnuRightToLeft, &frmMain::mnuRightToLeft_Click);
    on(mnuZoomIn, &frmMain::mnuZoomIn_Click);
    on(mnuZoomOut, &frmMain::mnuZoomOut_Click);
    on(mnuNoZoom, &frmMain::mnuNoZoom_Click);
    on(mnuFullScreen, &frmMain::mnuFullScreen_Click);
    on(mnuHelpBasic, &frmMain::mnuHelpBasic_Click);
    on(mnuHelpAbout, &frmMain::mnuHelpAbout_Click);
    on(rcmnuNextPage, &frmMain::rcmnuNextPage_Click);
    on(rcmnuPreviousPage, &frmMain::rcmnuPreviousPage_Click);
    on(rcmnuNextChapter, &frmMain::rcmnuNextChapter_Click);
    on(rcmnuPreviousChapter, &frmMain::rcmnuPreviousChapter_Click);
    on(rcmnuZoomIn, &frmMain::mnuZoomIn_Click);
    on(rcmnuZoomOut, &frmMain::mnuZoomOut_Click);
    on(rcmnuNoZoom, &frmMain::mnuNoZoom_Click);
    on(rcmnuFitToWindow, &frmMain::mnuFitToWindow_Click);
}

void frmMain::cmdNavigate_Click(qint16 Index)
{
    if (!settleFolderBox())
        return;
    // The buttons' enabled state keeps the page in range; every other way
    // in checks it first.
    switch (Index) {
    case 0: PageIndex = 1; break;
    case 1: PageIndex = static_cast<qint16>(PageIndex - 1); break;
    // Past every page shown: the next spread in Two Pages.
    case 2: PageIndex = static_cast<qint16>(PageIndex + m_pagesShown); break;
    case 3: PageIndex = PageCount; break;
    default: return;
    }
    ShowPage(PageIndex);
}

void frmMain::nextPage()
{
    if (cmdNavigate[2]->isEnabled())
        cmdNavigate_Click(2);
}

void frmMain::previousPage()
{
    if (cmdNavigate[1]->isEnabled())
        cmdNavigate_Click(1);
}

bool frmMain::hasNextChapter() const
{
    return cboChapters->currentIndex() < cboChapters->count() - 1;
}

bool frmMain::hasPreviousChapter() const
{
    return cboChapters->currentIndex() >= 1;
}

// Selecting the neighbouring item opens that chapter at its first page.
void frmMain::nextChapter()
{
    if (hasNextChapter())
        cboChapters->setCurrentIndex(cboChapters->currentIndex() + 1);
}

void frmMain::previousChapter()
{
    if (hasPreviousChapter())
        cboChapters->setCurrentIndex(cboChapters->currentIndex() - 1);
}

void frmMain::rcmnuNextPage_Click()
{
    nextPage();
}

void frmMain::rcmnuPreviousPage_Click()
{
    previousPage();
}

void frmMain::rcmnuNextChapter_Click()
{
    if (cboChapters->isEnabled())
        nextChapter();
}

void frmMain::rcmnuPreviousChapter_Click()
{
    if (cboChapters->isEnabled())
        previousChapter();
}

bool frmMain::focusIn(const QWidget *control) const
{
    const QWidget *focus = QApplication::focusWidget();
    return focus && (focus == control || control->isAncestorOf(focus));
}

namespace {

// Moves a scroll bar by delta, held within 0 to Max; the sum is formed
// wide enough that it can never overflow before the clamp.
void stepBar(QScrollBar *bar, qint64 delta)
{
    const qint64 target = std::clamp<qint64>(qint64(bar->value()) + delta, 0, bar->maximum());
    bar->setValue(static_cast<int>(target));
}

} // namespace

void frmMain::Form_KeyDown(qint16 &KeyCode, qint16 Shift)
{
    const bool inFolderBox = focusIn(cboPagoraDir);
    const bool inChapters = focusIn(cboChapters);
    const bool ctrl = Shift & ShiftBit::Ctrl;
    const bool alt = Shift & ShiftBit::Alt;

    switch (KeyCode) {
    case KeyCode::Z:
        if (inFolderBox || fitMode() != PageSizing::Fit::None)
            return;
        ZoomPage((Shift & ShiftBit::Shift) ? -0.2 : 0.2);
        KeyCode = 0;
        return;
    case KeyCode::PageUp:
    case KeyCode::PageDown: {
        if (inChapters)
            return;
        const bool down = KeyCode == KeyCode::PageDown;
        if (ctrl) {
            down ? nextPage() : previousPage();
            KeyCode = 0;
        } else if (alt) {
            if (down ? !hasNextChapter() : !hasPreviousChapter())
                return;
            down ? nextChapter() : previousChapter();
            KeyCode = 0;
        } else {
            if (!vsImage->isVisibleTo(this) || vsImage->value() == (down ? vsImage->maximum() : 0))
                return;
            stepBar(vsImage, down ? vsImage->pageStep() : -qint64(vsImage->pageStep()));
            KeyCode = 0;
        }
        return;
    }
    case KeyCode::Backspace:
        if (!inFolderBox)
            previousPage();
        return;
    case KeyCode::Space:
        if (!inFolderBox)
            nextPage();
        return;
    case KeyCode::Up:
    case KeyCode::Down: {
        const bool down = KeyCode == KeyCode::Down;
        if (inChapters || vsImage->value() == (down ? vsImage->maximum() : 0))
            return;
        stepBar(vsImage, down ? vsImage->singleStep() : -qint64(vsImage->singleStep()));
        KeyCode = 0;
        return;
    }
    case KeyCode::Left:
    case KeyCode::Right: {
        const bool right = KeyCode == KeyCode::Right;
        if (inChapters || inFolderBox || hsImage->value() == (right ? hsImage->maximum() : 0))
            return;
        stepBar(hsImage, right ? hsImage->pageStep() : -qint64(hsImage->pageStep()));
        KeyCode = 0;
        return;
    }
    default: return;
    }
}
