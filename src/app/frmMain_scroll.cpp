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
#include <QWheelEvent>
#include <algorithm>
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

// One notch of a wheel, in angleDelta units.
constexpr int kNotch = 120;

// The whole notches of a turn, counting what earlier turns left short of a
// notch (fine-grained wheels and touchpads send parts); the rest is kept.
// A turn back the other way starts afresh.
int wholeNotches(int &rest, int turn)
{
    if ((rest < 0 && turn > 0) || (rest > 0 && turn < 0))
        rest = 0;
    rest += turn;
    const int notches = rest / kNotch;
    rest -= notches * kNotch;
    return notches;
}

// Moves a shown bar by notches steps, within 0 to Max.
void turnBar(QScrollBar *bar, bool shown, int notches, int step)
{
    if (!shown || notches == 0)
        return;
    bar->setValue(
        int(std::clamp<qint64>(bar->value() + qint64(notches) * step, 0, bar->maximum())));
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

void frmMain::PicImage_Wheel(const QWheelEvent &event)
{
    // Shift turns the wheel sideways; a tilting wheel goes sideways itself.
    QPoint turn = event.angleDelta();
    if (event.modifiers() & Qt::ShiftModifier)
        turn = QPoint(turn.y() != 0 ? turn.y() : turn.x(), 0);
    // A turn away from the reader (positive) goes up, or left, the page.
    // A notch moves as far as an arrow key: the vertical bar's small step,
    // the horizontal bar's large step, each a twentieth of the range.
    turnBar(vsImage, vsImage->isVisibleTo(this), -wholeNotches(m_wheelRest.ry(), turn.y()),
            vsImage->singleStep());
    turnBar(hsImage, hsImage->isVisibleTo(this), -wholeNotches(m_wheelRest.rx(), turn.x()),
            hsImage->pageStep());
}
