#include "app/frmMain.h"

#include "platform/PictureControls.h"
#include "platform/PrivateRunFolder.h"
#include "platform/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QWindowStateChangeEvent>

#include <algorithm>

namespace {

qint32 windowWidthTwips(const QWidget *window) { return Twips::fromPixels(window->width()); }
qint32 windowHeightTwips(const QWidget *window) { return Twips::fromPixels(window->height()); }

} // namespace

void frmMain::Form_Load()
{
    LastHeight = windowHeightTwips(this);
    LastWidth = windowWidthTwips(this);
    InitialWidth = windowWidthTwips(this);

    InitialPanelWidth = Twips::width(Picture1);
    InitialNavLeft = Twips::left(cmdNavigate[0]);
    InitialChaptersLeft = Twips::left(cboChapters);
    InitialChaptersWidth = Twips::width(cboChapters);
    InitialFolderListWidth = Twips::width(cboPagoraDir);

    ZoomFactor = 1.0;

    // The viewport reaches exactly to the scroll bars.
    Twips::setWidth(PicImage, Twips::left(vsImage) - Twips::left(PicImage));
    Twips::setHeight(PicImage, Twips::top(hsImage) - Twips::top(PicImage));
    Twips::setWidth(Image1, Twips::width(PicImage));
    Twips::setHeight(Image1, Twips::height(PicImage));

    lblPage->setText(QString());

    m_runFolder = std::make_unique<PrivateRunFolder>();
    AppFolder = m_runFolder->path();
}

void frmMain::Form_Resize()
{
    if (isMinimized())
        return;

    const qint32 dH = windowHeightTwips(this) - LastHeight;
    const qint32 dW = windowWidthTwips(this) - LastWidth;
    LastHeight = windowHeightTwips(this);
    LastWidth = windowWidthTwips(this);

    // Each step stands alone: one the window system refuses (a size that
    // would turn negative in a very small window) is skipped.
    Twips::setWidth(hsImage, Twips::width(hsImage) + dW);
    Twips::setTop(hsImage, Twips::top(hsImage) + dH);
    Twips::setHeight(vsImage, Twips::height(vsImage) + dH);
    Twips::setLeft(vsImage, Twips::left(vsImage) + dW);

    Twips::setWidth(PicImage, Twips::width(PicImage) + dW);
    Twips::setHeight(PicImage, Twips::height(PicImage) + dH);

    Twips::move(Image1, 0, 0, Twips::width(Image1) + dW, Twips::height(Image1) + dH);

    hsImage->setValue(0);
    vsImage->setValue(0);

    // The top panel follows the width alone: its load geometry at or below
    // the load width; above it, the page buttons move by the extra width and
    // the two lists share it half and half, to the half twip. Computed from
    // the load geometry each time, so no sequence of sizes (narrower than at
    // load and back, or a pixel at a time) leaves it off its place.
    const qint32 extra = std::max(0, windowWidthTwips(this) - InitialWidth);
    const double half = extra / 2.0;
    Twips::setWidth(Picture1, InitialPanelWidth + extra);
    Twips::setLeft(cboChapters, InitialChaptersLeft + half);
    Twips::setWidth(cboChapters, InitialChaptersWidth + half);
    Twips::setWidth(cboPagoraDir, InitialFolderListWidth + half);
    Twips::setLeft(cmdNavigate[0], InitialNavLeft + extra);

    Twips::setLeft(Label2, Twips::left(cboChapters));
    Twips::setLeft(cmdBrowse,
                   Twips::left(cboPagoraDir) + Twips::width(cboPagoraDir) - Twips::width(cmdBrowse));
    Twips::setLeft(chkFitToWindow, Twips::left(cboChapters) + Twips::width(cboChapters)
                                       - Twips::width(chkFitToWindow));
    // Each page button overlaps its left neighbour by one pixel.
    for (int k = 1; k <= 3; ++k)
        Twips::setLeft(cmdNavigate[k], Twips::left(cmdNavigate[0])
                                           + k * (Twips::width(cmdNavigate[0]) - Twips::PerPixel));
    Twips::setLeft(lblPage, Twips::left(cmdNavigate[0]));

    if (PageIndex > 0)
        ShowPage(PageIndex);
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    const QScopedValueRollback resizing(m_resizing, true);
    Form_Resize();
}

void frmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    // Minimising and restoring change no size, so no resize event reports
    // them; every other change of state arrives as a resize.
    const auto old = static_cast<QWindowStateChangeEvent *>(event)->oldState();
    if (isMinimized() || (old & Qt::WindowMinimized))
        Form_Resize();
}
