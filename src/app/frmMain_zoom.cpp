#include "app/frmMain.h"

#include "platform/PictureControls.h"
#include "platform/Twips.h"

#include <QAction>
#include <QCheckBox>

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
    if (PageIndex != 0)
        ShowPage(PageIndex);
}

void frmMain::mnuFitToWindow_Click()
{
    // Changing the box runs its handler at once, which marks both menus and
    // shows the page; once is enough.
    chkFitToWindow->setChecked(!chkFitToWindow->isChecked());
}
