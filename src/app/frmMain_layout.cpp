#include "app/frmMain.h"

#include "platform/PictureControls.h"
#include "platform/PrivateRunFolder.h"
#include "platform/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QWindowStateChangeEvent>

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

    if (windowWidthTwips(this) < InitialWidth) {
        Twips::setWidth(Picture1, InitialPanelWidth);
        Twips::setLeft(cboChapters, InitialChaptersLeft);
        Twips::setWidth(cboChapters, InitialChaptersWidth);
        Twips::setWidth(cboPagoraDir, InitialFolderListWidth);
        Twips::setLeft(cmdNavigate[0], InitialNavLeft);
    } else {
        // The extra width is shared half and half, to the half twip.
        const double half = dW / 2.0;
        Twips::setWidth(Picture1, Twips::width(Picture1) + dW);
        Twips::setLeft(cboChapters, Twips::left(cboChapters) + half);
        Twips::setWidth(cboChapters, Twips::width(cboChapters) + half);
        Twips::setWidth(cboPagoraDir, Twips::width(cboPagoraDir) + half);
        Twips::setLeft(cmdNavigate[0], Twips::left(cmdNavigate[0]) + dW);
    }

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
