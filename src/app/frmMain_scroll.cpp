#include "app/frmMain.h"

#include "platform/PictureControls.h"
#include "platform/Twips.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <cmath>

namespace {

constexpr int kLeftButton = 1;
constexpr int kRightButton = 2;
constexpr int kMiddleButton = 4;
constexpr qint32 kNoDrag = -1;

int buttonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return kLeftButton;
    case Qt::RightButton: return kRightButton;
    case Qt::MiddleButton: return kMiddleButton;
    default: return 0;
    }
}

int buttonsCode(Qt::MouseButtons buttons)
{
    return ((buttons & Qt::LeftButton) ? kLeftButton : 0)
           | ((buttons & Qt::RightButton) ? kRightButton : 0)
           | ((buttons & Qt::MiddleButton) ? kMiddleButton : 0);
}

// Moves the bar by delta, stopping at 0 and Max; 32-bit sums only.
void dragBar(QScrollBar *bar, qint32 delta)
{
    const qint32 value = bar->value();
    if (value + delta > bar->maximum())
        delta = bar->maximum() - value;
    if (value + delta < 0)
        delta = -value;
    bar->setValue(value + delta);
}

} // namespace

// The page lies at minus the scroll values: value 0 shows its left (top)
// edge, Max its right (bottom) edge.
void frmMain::hsImage_Change()
{
    Twips::setLeft(Image1, -hsImage->value());
}

void frmMain::vsImage_Change()
{
    Twips::setTop(Image1, -vsImage->value());
}

void frmMain::forwardMouse(QMouseEvent *event, void (frmMain::*handler)(int, int, float, float))
{
    const int button = event->type() == QEvent::MouseMove ? buttonsCode(event->buttons())
                                                          : buttonCode(event->button());
    const QPointF at = event->position() * Twips::PerPixel;
    (this->*handler)(button, 0, float(at.x()), float(at.y()));
}

void frmMain::Image1_MouseDown(int Button, int, float X, float Y)
{
    if (Button == kRightButton)
        return;
    DragAnchorX = Twips::nearest(X);
    DragAnchorY = Twips::nearest(Y);
}

void frmMain::Image1_MouseMove(int, int, float X, float Y)
{
    if (DragAnchorX == kNoDrag)
        return;
    // X and Y are measured on the page, which moves with the drag, so the
    // grabbed point stays under the pointer without moving the anchor.
    dragBar(vsImage, Twips::nearest(DragAnchorY - Y));
    if (hsImage->isVisibleTo(this)) {
        dragBar(hsImage, Twips::nearest(DragAnchorX - X));
        Twips::move(Image1, -hsImage->value(), -vsImage->value(), Twips::width(Image1),
                    Twips::height(Image1));
    } else {
        Twips::setTop(Image1, -vsImage->value());
    }
}

void frmMain::Image1_MouseUp(int Button, int, float, float)
{
    DragAnchorX = kNoDrag;
    if (Button != kRightButton || !RCMenu->isEnabled())
        return;
    const bool fit = chkFitToWindow->isChecked();
    rcmnuZoomIn->setEnabled(!fit);
    rcmnuZoomOut->setEnabled(!fit);
    rcmnuPreviousChapter->setEnabled(true);
    if (cboChapters->currentIndex() == 0)
        rcmnuPreviousChapter->setEnabled(false);
    rcmnuNextChapter->setEnabled(true);
    if (cboChapters->currentIndex() == cboChapters->count() - 1)
        rcmnuNextChapter->setEnabled(false);
    rcmnuNextPage->setEnabled(cmdNavigate[2]->isEnabled());
    rcmnuPreviousPage->setEnabled(cmdNavigate[1]->isEnabled());
    rcmnuNoZoom->setEnabled(ZoomFactor != 1.0);
    RCMenu->popup(QCursor::pos());
}
