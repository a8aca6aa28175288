#include "app/frmMain.h"

#include "platform/PictureControls.h"
#include "platform/PrivateRunFolder.h"
#include "platform/Twips.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QWindowStateChangeEvent>

namespace {

qint32 windowWidthTwips(const QWidget *window)
{
    return Twips::fromPixels(window->width());
}
qint32 windowHeightTwips(const QWidget *window)
{
    return Twips::fromPixels(window->height());
}

QRect twipsRect(const QWidget *w)
{
    return QRect(Twips::left(w), Twips::top(w), Twips::width(w), Twips::height(w));
}

// Puts a control where the layout says. A negative width or height is
// refused by the window system: that side keeps its size, the rest moves.
void place(QWidget *w, const QRect &r)
{
    Twips::move(w, r.left(), r.top(), r.width() < 0 ? Twips::width(w) : r.width(),
                r.height() < 0 ? Twips::height(w) : r.height());
}

} // namespace

void frmMain::Form_Load()
{
    WindowLayout::Design &design = LayoutDesign;
    design.width = windowWidthTwips(this);
    design.height = windowHeightTwips(this);
    design.viewport = QPoint(Twips::left(PicImage), Twips::top(PicImage));
    design.horizontalBar = twipsRect(hsImage);
    design.verticalBar = twipsRect(vsImage);
    design.panel = twipsRect(Picture1);
    design.folderList = twipsRect(cboPagoraDir);
    design.browse = twipsRect(cmdBrowse);
    design.chapterList = twipsRect(cboChapters);
    design.chapterLabel = twipsRect(Label2);
    design.fitToWindow = twipsRect(chkFitToWindow);
    design.firstPageButton = twipsRect(cmdNavigate[0]);
    design.pageLabel = twipsRect(lblPage);

    ZoomFactor = 1.0;

    // The viewport reaches exactly to the scroll bars; the picture fills it.
    const QRect viewport = WindowLayout::arrange(design, design.width, design.height).viewport;
    place(PicImage, viewport);
    Twips::setWidth(Image1, viewport.width());
    Twips::setHeight(Image1, viewport.height());

    lblPage->setText(QString());

    m_runFolder = std::make_unique<PrivateRunFolder>();
    AppFolder = m_runFolder->path();
}

void frmMain::Form_Resize()
{
    if (isMinimized())
        return;

    const WindowLayout::Layout layout = WindowLayout::arrange(
        LayoutDesign, windowWidthTwips(this), windowHeightTwips(this),
        {vsImage->isVisibleTo(this), hsImage->isVisibleTo(this)});
    const QSize viewportBefore(Twips::width(PicImage), Twips::height(PicImage));
    place(hsImage, layout.horizontalBar);
    place(vsImage, layout.verticalBar);
    place(PicImage, layout.viewport);
    // The picture grows and shrinks with the viewport until the page is
    // shown again at the new size.
    const QSize grown = QSize(Twips::width(PicImage), Twips::height(PicImage)) - viewportBefore;
    Twips::move(Image1, 0, 0, Twips::width(Image1) + grown.width(),
                Twips::height(Image1) + grown.height());

    hsImage->setValue(0);
    vsImage->setValue(0);

    place(Picture1, layout.panel);
    place(cboPagoraDir, layout.folderList);
    place(cmdBrowse, layout.browse);
    place(cboChapters, layout.chapterList);
    place(Label2, layout.chapterLabel);
    place(chkFitToWindow, layout.fitToWindow);
    for (int k = 0; k < 4; ++k)
        place(cmdNavigate[k], layout.pageButtons[k]);
    place(lblPage, layout.pageLabel);

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
    // Whoever changed it, F11, the menu or the window manager.
    mnuFullScreen->setChecked(isFullScreen());
    // Minimising and restoring change no size, so no resize event reports
    // them; every other change of state arrives as a resize.
    const auto old = static_cast<QWindowStateChangeEvent *>(event)->oldState();
    if (isMinimized() || (old & Qt::WindowMinimized))
        Form_Resize();
}

void frmMain::mnuFullScreen_Click()
{
    if (isFullScreen()) {
        leaveFullScreen();
        return;
    }
    // The layout follows the new size as for any resize.
    m_maximisedBeforeFullScreen = isMaximized();
    showFullScreen();
}

void frmMain::leaveFullScreen()
{
    // The platform gives back the size and place from before.
    if (m_maximisedBeforeFullScreen)
        showMaximized();
    else
        showNormal();
}
