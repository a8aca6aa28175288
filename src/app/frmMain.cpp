#include "app/frmMain.h"

#include "imaging/PageImages.h"
#include "platform/FileSystem.h"
#include "platform/KeyCodes.h"
#include "platform/PictureControls.h"
#include "platform/PrivateRunFolder.h"
#include "platform/Prompts.h"
#include "platform/Twips.h"
#include "platform/WindowStyle.h"
#include "settings/SettingsStore.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>

using WindowStyle::placed;

namespace {

// Client area of the window at its design size.
constexpr int kDesignClientWidth = 8430;
constexpr int kDesignClientHeight = 7155;

const QColor kFormBackground(0, 0, 128);

// The window's own surface: dark blue in the margins between the panel, the
// viewport and the scroll bars. Painted rather than set in the palette, so
// the controls on it keep their usual colours.
class FormClient : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), kFormBackground); }
};

QAction *menuEntry(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

QAction *menuSeparator(QMenu *menu, const QString &name)
{
    QAction *action = menu->addSeparator();
    action->setObjectName(name);
    return action;
}

} // namespace

frmMain::frmMain(QWidget *parent) : QMainWindow(parent)
{
    // The resources live in a static library; make sure they are registered.
    Q_INIT_RESOURCE(pagora);
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(programTitle());
    setWindowIcon(QIcon(QStringLiteral(":/pagora-viewer.png")));

    m_pages = new PageImages(this);
    createControls();
    createMenus();
    setTabOrder();
    // Picture2 only measures and holds PNG pages; drawn, it would show a
    // piece of the page in the corner between the scroll bars.
    Picture2->hide();
    connectCommands();
    // Folders and archive chapters dropped from a file manager.
    setAcceptDrops(true);

    // Key preview: the window sees every key before the focused control.
    qApp->installEventFilter(this);
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this,
                           [this](QWidget *old, QWidget *now) { onFocusChanged(old, now); });

    resize(Twips::toPixels(kDesignClientWidth),
           Twips::toPixels(kDesignClientHeight) + menuBar()->sizeHint().height());
    Form_Load();
}

frmMain::~frmMain()
{
    // The focus moves on while QWidget's destructor takes the controls
    // down, after this window's own part is gone: stop listening first.
    disconnect(m_focusWatch);
    qApp->removeEventFilter(this);
}

void frmMain::createControls()
{
    setFont(WindowStyle::controlFont());
    auto *client = new FormClient(this);
    client->setObjectName(QStringLiteral("frmMainClient"));
    setCentralWidget(client);

    Picture2 = placed(new PictureBox(client), QStringLiteral("Picture2"), 8100, 6780, 435, 375);
    Picture2->setBorder(false);

    PicImage = placed(new PictureBox(client), QStringLiteral("PicImage"), 60, 900, 8055, 5955);
    PicImage->setBorder(true);
    PicImage->setBackground(Qt::black);
    Image2 = placed(new ImageControl(PicImage->client()), QStringLiteral("Image2"), 7620, 60, 375,
                    495);
    Image2->hide();
    Image1 = placed(new ImageControl(PicImage->client()), QStringLiteral("Image1"), 0, 0, 7515,
                    5655);
    Image1->setStretch(true);
    Image1->setContextMenuPolicy(Qt::PreventContextMenu);
    connect(Image1, &ImageControl::mousePressed, this,
            [this](QMouseEvent *e) { forwardMouse(e, &frmMain::Image1_MouseDown); });
    connect(Image1, &ImageControl::mouseMoved, this,
            [this](QMouseEvent *e) { forwardMouse(e, &frmMain::Image1_MouseMove); });
    connect(Image1, &ImageControl::mouseReleased, this,
            [this](QMouseEvent *e) { forwardMouse(e, &frmMain::Image1_MouseUp); });

    Picture1 = placed(new PictureBox(client), QStringLiteral("Picture1"), 60, 60, 8295, 795);
    Picture1->setBorder(true);
    QWidget *panel = Picture1->client();
    cboPagoraDir = placed(new QComboBox(panel), QStringLiteral("cboPagoraDir"), 120, 360, 3495,
                          315);
    cboPagoraDir->setEditable(true);
    cboPagoraDir->setInsertPolicy(QComboBox::NoInsert);
    // A typed path is taken as typed: no completion from the history, and
    // Enter picks a history item only when its text is exactly the text
    // typed (without a completer the box matches case-sensitively).
    cboPagoraDir->setCompleter(nullptr);
    // A history item picked by the user, by mouse or arrow keys.
    connect(cboPagoraDir, &QComboBox::activated, this, [this] { cboPagoraDir_Click(); });
    cmdBrowse = placed(new QPushButton(QStringLiteral("Browse"), panel),
                       QStringLiteral("cmdBrowse"), 2880, 60, 735, 255);
    connect(cmdBrowse, &QPushButton::clicked, this, [this] { cmdBrowse_Click(); });
    const QStringList navCaptions = {QStringLiteral("<<"), QStringLiteral("<"), QStringLiteral(">"),
                                     QStringLiteral(">>")};
    const QStringList navTips = {QStringLiteral("Alt-Pgup"), QStringLiteral("Ctrl-Pgup"),
                                 QStringLiteral("Ctrl-Pgdn"), QStringLiteral("Alt-Pgdn")};
    const int navLefts[] = {6420, 6840, 7260, 7680};
    for (int i = 0; i < 4; ++i) {
        cmdNavigate[i] = placed(new QPushButton(navCaptions[i], panel),
                                QStringLiteral("cmdNavigate(%1)").arg(i), navLefts[i], 270, 435,
                                375);
        cmdNavigate[i]->setToolTip(navTips[i]);
        cmdNavigate[i]->setFont(WindowStyle::controlFont(true));
    }
    cboChapters = placed(new QComboBox(panel), QStringLiteral("cboChapters"), 3720, 360, 2595, 315);
    chkFitToWindow = placed(new QCheckBox(QStringLiteral("&Fit To Window"), panel),
                            QStringLiteral("chkFitToWindow"), 4950, 60, 1335, 195);
    // Its F is also File's on the menu bar, and Qt would take the pair as
    // ambiguous: the first Alt+F would only move the focus here. Let the menu
    // bar have Alt+F alone; the caption keeps its underlined F, and the box
    // is still ticked by mouse, Space and View > Fit To Window.
    chkFitToWindow->setShortcut(QKeySequence());
    Label1 = placed(new QLabel(QStringLiteral("Pagora Chapters Folder"), panel),
                    QStringLiteral("Label1"), 120, 120, 1875, 195);
    Label2 = placed(new QLabel(QStringLiteral("Chapters"), panel), QStringLiteral("Label2"), 3720,
                    180, 675, 195);
    lblPage = placed(new QLabel(QStringLiteral("Page x of X"), panel), QStringLiteral("lblPage"),
                     6420, 60, 1515, 195);

    hsImage = placed(new QScrollBar(Qt::Horizontal, client), QStringLiteral("hsImage"), 60, 6855,
                     8055, 255);
    vsImage = placed(new QScrollBar(Qt::Vertical, client), QStringLiteral("vsImage"), 8100, 900,
                     255, 5955);
    // Choosing a chapter, by the user or from code, opens it at once.
    connect(cboChapters, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            cboChapters_Click();
    });

    for (QScrollBar *bar : {hsImage, vsImage}) {
        bar->setRange(0, 32767);
        // The page moves when the thumb is released, not while it is dragged.
        bar->setTracking(false);
        bar->setFocusPolicy(Qt::StrongFocus);
    }
    connect(hsImage, &QScrollBar::valueChanged, this, [this] { hsImage_Change(); });
    connect(vsImage, &QScrollBar::valueChanged, this, [this] { vsImage_Change(); });
}

void frmMain::createMenus()
{
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuExit = menuEntry(mnuFile, QStringLiteral("mnuExit"), QStringLiteral("E&xit"));
    connect(mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });

    mnuView = menuBar()->addMenu(QStringLiteral("&View"));
    mnuView->setObjectName(QStringLiteral("mnuView"));
    mnuFitToWindow = menuEntry(mnuView, QStringLiteral("mnuFitToWindow"),
                               QStringLiteral("&Fit To Window"));
    mnuFitWidth = menuEntry(mnuView, QStringLiteral("mnuFitWidth"), QStringLiteral("Fit &Width"));
    mnuFitHeight = menuEntry(mnuView, QStringLiteral("mnuFitHeight"),
                             QStringLiteral("Fit &Height"));
    mnuViewBar1 = menuSeparator(mnuView, QStringLiteral("mnuViewBar1"));
    mnuZoomIn = menuEntry(mnuView, QStringLiteral("mnuZoomIn"), QStringLiteral("&Zoom In"));
    mnuZoomOut = menuEntry(mnuView, QStringLiteral("mnuZoomOut"), QStringLiteral("Zoom &Out"));
    mnuNoZoom = menuEntry(mnuView, QStringLiteral("mnuNoZoom"), QStringLiteral("&No Zoom"));
    mnuViewBar2 = menuSeparator(mnuView, QStringLiteral("mnuViewBar2"));
    mnuTwoPages = menuEntry(mnuView, QStringLiteral("mnuTwoPages"), QStringLiteral("&Two Pages"));
    mnuRightToLeft = menuEntry(mnuView, QStringLiteral("mnuRightToLeft"),
                               QStringLiteral("&Right To Left"));
    for (QAction *mode : {mnuFitWidth, mnuFitHeight, mnuTwoPages, mnuRightToLeft})
        mode->setCheckable(true);
    mnuViewBar3 = menuSeparator(mnuView, QStringLiteral("mnuViewBar3"));
    // S: F, W, H, Z, O, N, T and R are taken in this menu.
    mnuFullScreen = menuEntry(mnuView, QStringLiteral("mnuFullScreen"),
                              QStringLiteral("Full &Screen"));
    mnuFullScreen->setCheckable(true);
    mnuFullScreen->setShortcut(QKeySequence(Qt::Key_F11));

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpBasic = menuEntry(mnuHelp, QStringLiteral("mnuHelpBasic"),
                             QStringLiteral("&Basic Instructions..."));
    mnuHelpBar1 = menuSeparator(mnuHelp, QStringLiteral("mnuHelpBar1"));
    mnuHelpAbout = menuEntry(mnuHelp, QStringLiteral("mnuHelpAbout"), QStringLiteral("&About..."));

    // The pop-up menu over the page; never on the menu bar.
    RCMenu = new QMenu(QStringLiteral("RCMenu"), this);
    RCMenu->setObjectName(QStringLiteral("RCMenu"));
    rcmnuNextPage = menuEntry(RCMenu, QStringLiteral("rcmnuNextPage"),
                              QStringLiteral("Next Page                 (Ctrl-PgDn)"));
    rcmnuPreviousPage = menuEntry(RCMenu, QStringLiteral("rcmnuPreviousPage"),
                                  QStringLiteral("Previous Page           (Ctrl-PgUp)"));
    rcmnuBar1 = menuSeparator(RCMenu, QStringLiteral("rcmnuBar1"));
    rcmnuNextChapter = menuEntry(RCMenu, QStringLiteral("rcmnuNextChapter"),
                                 QStringLiteral("Next Chapter            (Alt-PgDn)"));
    rcmnuPreviousChapter = menuEntry(RCMenu, QStringLiteral("rcmnuPreviousChapter"),
                                     QStringLiteral("Previous Chapter      (Alt-PgUp)"));
    rcmnuBar2 = menuSeparator(RCMenu, QStringLiteral("rcmnuBar2"));
    rcmnuZoomIn = menuEntry(RCMenu, QStringLiteral("rcmnuZoomIn"),
                            QStringLiteral("Zoom In                     (Z)"));
    rcmnuZoomOut = menuEntry(RCMenu, QStringLiteral("rcmnuZoomOut"),
                             QStringLiteral("Zoom Out                  (Shift-Z)"));
    rcmnuNoZoom = menuEntry(RCMenu, QStringLiteral("rcmnuNoZoom"), QStringLiteral("No Zoom"));
    rcmnuFitToWindow = menuEntry(RCMenu, QStringLiteral("rcmnuFitToWindow"),
                                 QStringLiteral("Fit To Window"));
}

// The hidden PNG surface Picture2 never takes the focus and is left out.
void frmMain::setTabOrder()
{
    const QList<QWidget *> order = {vsImage,        hsImage,        Picture1,       chkFitToWindow,
                                    cboChapters,    cmdNavigate[3], cmdNavigate[2], cmdNavigate[1],
                                    cmdNavigate[0], cmdBrowse,      PicImage,       cboPagoraDir};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel
        && (watched == PicImage || PicImage->isAncestorOf(qobject_cast<QWidget *>(watched)))) {
        PicImage_Wheel(*static_cast<QWheelEvent *>(event));
        event->accept();
        return true;
    }
    // Every event of the program passes here: the cheap test of its type first.
    const QEvent::Type type = event->type();
    if ((type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop)
        && watched->isWidgetType() && static_cast<QWidget *>(watched)->window() == this
        && previewDrag(static_cast<QDropEvent *>(event)))
        return true;
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return QMainWindow::eventFilter(watched, event);
    auto *widget = static_cast<QWidget *>(watched);
    // An ignored key travels up to the parents; preview it once, at the
    // control that has the focus (or the window when none has).
    QWidget *focus = QApplication::focusWidget();
    if (widget->window() != this || widget != (focus ? focus : this))
        return QMainWindow::eventFilter(watched, event);
    auto *keyEvent = static_cast<QKeyEvent *>(event);
    // Esc means nothing else here: it leaves full screen, and only then is
    // it kept from the focused control.
    if (keyEvent->key() == Qt::Key_Escape && isFullScreen()) {
        leaveFullScreen();
        return true;
    }
    qint16 keyCode = virtualKeyCode(keyEvent->key());
    if (keyCode == 0)
        return false;
    Form_KeyDown(keyCode, shiftState(keyEvent->modifiers()));
    // A key whose action took the focus elsewhere (a page shown) goes no
    // further: the control it was meant for no longer has the focus, and a
    // button must not be pressed by it.
    return keyCode == 0 || QApplication::focusWidget() != widget;
}

SettingsStore &frmMain::Settings()
{
    if (!m_settings)
        m_settings = std::make_unique<SettingsStore>();
    return *m_settings;
}

void frmMain::mnuExit_Click()
{
    close();
}

frmMain::View frmMain::view() const
{
    View shown;
    shown.folder = PagoraFolder;
    shown.chapter = cboChapters->currentText();
    shown.page = PageIndex;
    shown.pageCount = PageCount;
    shown.zoom = ZoomFactor;
    shown.zipChapter = IsZipChapter != kFalse16;
    shown.pngPage = IsPngPage != kFalse16;
    shown.runFolder = AppFolder;
    return shown;
}
