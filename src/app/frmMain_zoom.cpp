#include "app/frmMain.h"

#include "platform/PictureControls.h"
#include "platform/Twips.h"

#include <QAction>
#include <QCheckBox>
#include <QSignalBlocker>

namespace {

// The zoomed page may overhang the viewport by this much at most, and must
// measure at least the minimum on each side.
constexpr double kMaxOverhang = 32000;
constexpr double kMinSide = 1000;

} // namespace

void frmMain::ZoomPage(double Step)
{
    const double old = ZoomFactor;
    ZoomFactor = ZoomFactor + Step * ZoomFactor;
    const QWidget *natural = IsPngPage ? static_cast<QWidget *>(Picture2) : Image2;
    const double nw = Twips::width(natural);
    const double nh = Twips::height(natural);
    if (nh * ZoomFactor - Twips::height(PicImage) > kMaxOverhang
        || nw * ZoomFactor - Twips::width(PicImage) > kMaxOverhang || nh * ZoomFactor < kMinSide
        || nw * ZoomFactor < kMinSide) {
        ZoomFactor = old;
        return;
    }
    ShowPage(PageIndex);
}

void frmMain::mnuZoomIn_Click()
{
    ZoomPage(0.2);
}

void frmMain::mnuZoomOut_Click()
{
    ZoomPage(-0.2);
}

void frmMain::mnuNoZoom_Click()
{
    ZoomFactor = 1.0;
    ShowPage(PageIndex);
}

void frmMain::chkFitToWindow_Click()
{
    const bool on = chkFitToWindow->isChecked();
    rcmnuFitToWindow->setChecked(on);
    mnuFitToWindow->setChecked(on);
    // The fit modes exclude each other.
    if (on) {
        mnuFitWidth->setChecked(false);
        mnuFitHeight->setChecked(false);
    }
    if (PageIndex != 0)
        ShowPage(PageIndex);
}

void frmMain::mnuFitToWindow_Click()
{
    // Changing the box runs its handler at once, which marks both menus and
    // shows the page; once is enough.
    chkFitToWindow->setChecked(!chkFitToWindow->isChecked());
}

void frmMain::mnuFitWidth_Click()
{
    fitModeChosen(mnuFitWidth, mnuFitHeight);
}

void frmMain::mnuFitHeight_Click()
{
    fitModeChosen(mnuFitHeight, mnuFitWidth);
}

void frmMain::fitModeChosen(const QAction *chosen, QAction *other)
{
    // The entry has changed its own mark; choosing the mode that is on turns it off.
    if (chosen->isChecked()) {
        other->setChecked(false);
        // Fit To Window off with its marks, without its handler: the page is
        // shown once, below, in the mode chosen.
        const QSignalBlocker quiet(chkFitToWindow);
        chkFitToWindow->setChecked(false);
        mnuFitToWindow->setChecked(false);
        rcmnuFitToWindow->setChecked(false);
    }
    if (PageIndex != 0)
        ShowPage(PageIndex);
}

PageSizing::Fit frmMain::fitMode() const
{
    if (chkFitToWindow->isChecked())
        return PageSizing::Fit::Window;
    if (mnuFitWidth->isChecked())
        return PageSizing::Fit::Width;
    if (mnuFitHeight->isChecked())
        return PageSizing::Fit::Height;
    return PageSizing::Fit::None;
}
