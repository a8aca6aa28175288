#include "dialogs/frmAbout.h"

#include "dialogs/frmLicenses.h"
#include "platform/PictureControls.h"
#include "platform/Prompts.h"
#include "platform/Twips.h"
#include "platform/WindowStyle.h"

#include <QLabel>
#include <QPushButton>
#include <memory>

using WindowStyle::placed;

namespace {

constexpr int kClientWidth = 6300;
constexpr int kClientHeight = 3765;

} // namespace

frmAbout::frmAbout(QWidget *parent) : QDialog(parent)
{
    // The resources live in a static library; make sure they are registered.
    Q_INIT_RESOURCE(pagora);
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About The Pagora Viewer"));
    setWindowIcon(QIcon(QStringLiteral(":/pagora-viewer.png")));
    setFont(WindowStyle::controlFont());
    setFixedSize(Twips::toPixels(kClientWidth), Twips::toPixels(kClientHeight));
    createControls();
    Form_Load();
}

frmAbout::~frmAbout() = default;

void frmAbout::createControls()
{
    // The banner fills the box exactly, so the box has no border to cut it.
    Picture1 = placed(new PictureBox(this), QStringLiteral("Picture1"), 120, 120, 6075, 1575);
    Picture1->setBorder(false);
    Picture1->setFocusPolicy(Qt::NoFocus);
    Picture1->setImage(QImage(QStringLiteral(":/about-banner.png")));

    lblTitle = placed(new QLabel(this), QStringLiteral("lblTitle"), 120, 1860, 6075, 840);
    lblTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblTitle->setWordWrap(true);
    lblTitle->setAutoFillBackground(true);
    QPalette pal = lblTitle->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    lblTitle->setPalette(pal);

    Image1 = placed(new ImageControl(this), QStringLiteral("Image1"), 180, 2880, 705, 705);
    Image1->setStretch(true);
    Image1->setPicture(QImage(QStringLiteral(":/pagora-viewer.png")));

    cmdOK = placed(new QPushButton(QStringLiteral("OK"), this), QStringLiteral("cmdOK"), 4920, 2820,
                   1260, 345);
    cmdSysInfo = placed(new QPushButton(QStringLiteral("&System Info..."), this),
                        QStringLiteral("cmdSysInfo"), 3540, 2820, 1245, 345);
    cmdLicense = placed(new QPushButton(QStringLiteral("Licensing"), this),
                        QStringLiteral("cmdLicense"), 3540, 3300, 1245, 345);
    // Enter presses OK unless another button has the focus.
    cmdOK->setDefault(true);
    QWidget::setTabOrder(cmdOK, cmdSysInfo);
    QWidget::setTabOrder(cmdSysInfo, cmdLicense);
    cmdOK->setFocus();

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { cmdSysInfo_Click(); });
    connect(cmdLicense, &QPushButton::clicked, this, [this] { cmdLicense_Click(); });
}

void frmAbout::Form_Load()
{
    lblTitle->setText(QStringLiteral(" The Pagora Viewer.  Version %1.%2.%3\n\n")
                          .arg(PAGORA_VERSION_MAJOR)
                          .arg(PAGORA_VERSION_MINOR)
                          .arg(PAGORA_VERSION_PATCH)
                      + QStringLiteral(" Developed by the Pagora Viewer project "
                                       "(pagora-viewer@example.org)\n"
                                       " Made for the Pagora Shelf site and its guests "
                                       "(https://shelf.example.org)"));
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::reject()
{
    cmdOK->click();
}

void frmAbout::cmdSysInfo_Click()
{
    // No system records a system information tool on this platform.
    showMessage(programTitle(), QStringLiteral("System Information Is Unavailable At This Time"),
                PromptIcon::None, PromptButtons::OK);
}

void frmAbout::cmdLicense_Click()
{
    auto licences = std::make_unique<frmLicenses>(this);
    licences->exec();
}

void showAboutWindow(QWidget *parent)
{
    auto window = std::make_unique<frmAbout>(parent);
    window->exec();
}
