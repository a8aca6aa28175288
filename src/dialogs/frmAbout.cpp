#include "dialogs/frmAbout.h"

#include "dialogs/frmLicenses.h"
#include "platform/FileSystem.h"
#include "platform/PictureControls.h"
#include "platform/Prompts.h"
#include "platform/Registry.h"
#include "platform/Twips.h"
#include "platform/WindowStyle.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <exception>
#include <memory>

using WindowStyle::placed;

namespace {

constexpr int kClientWidth = 6300;
constexpr int kClientHeight = 3765;

const QString kCrLf = QStringLiteral("\r\n");

// Where the system information tool is recorded, under the local machine.
const QString kSysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kSysInfoValue = QStringLiteral("PATH");
const QString kSysInfoLocationKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString kSysInfoLocationValue = QStringLiteral("MSINFO");
// Joined to the recorded folder with this platform's separator.
const QString kSysInfoProgram = QStringLiteral("/MSINFO32.EXE");

// Query, set, create sub-key, enumerate, notify, create link, read control.
constexpr qint32 kKeyAccess = 0x2003F;
constexpr int kValueBufferSize = 1024;

frmAbout::ProgramStarter &installedStarter()
{
    static frmAbout::ProgramStarter starter;
    return starter;
}

bool startProgram(const QString &path)
{
    if (installedStarter())
        return installedStarter()(path);
    return QProcess::startDetached(path, {});
}

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

    cmdOK = placed(new QPushButton(QStringLiteral("OK"), this), QStringLiteral("cmdOK"), 4920,
                   2820, 1260, 345);
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
    m_titleText = QStringLiteral(" The Pagora Viewer.  Version %1.%2.%3")
                      .arg(PAGORA_VERSION_MAJOR)
                      .arg(PAGORA_VERSION_MINOR)
                      .arg(PAGORA_VERSION_PATCH)
                  + kCrLf + kCrLf
                  + QStringLiteral(" Developed by the Pagora Viewer project "
                                   "(pagora-viewer@example.org)")
                  + kCrLf
                  + QStringLiteral(" Made for the Pagora Shelf site and its guests "
                                   "(https://shelf.example.org)");
    lblTitle->setText(QString(m_titleText).replace(kCrLf, QStringLiteral("\n")));
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
    StartSysInfo();
}

void frmAbout::cmdLicense_Click()
{
    auto licences = std::make_unique<frmLicenses>(this);
    licences->exec();
}

void frmAbout::StartSysInfo()
{
    try {
        qint32 root = RegistryRoot::LocalMachine;
        QString program;
        if (!GetKeyValue(root, kSysInfoKey, kSysInfoValue, program)) {
            QString folder;
            if (GetKeyValue(root, kSysInfoLocationKey, kSysInfoLocationValue, folder)
                && FileSystem().fileExists(folder + kSysInfoProgram))
                program = folder + kSysInfoProgram;
        }
        if (!program.isEmpty() && startProgram(program))
            return;
    } catch (const std::exception &) {
        // Reported below like every other way of not starting the tool.
    }
    showMessage(programTitle(), QStringLiteral("System Information Is Unavailable At This Time"),
                PromptIcon::None, PromptButtons::OK);
}

bool frmAbout::GetKeyValue(qint32 &KeyRoot, const QString &KeyName, const QString &SubKeyRef,
                           QString &KeyVal)
{
    qint32 key = 0;
    if (Registry::openKey(KeyRoot, KeyName, kKeyAccess, key) != RegistryStatus::Success) {
        KeyVal.clear();
        return false;
    }
    qint32 type = 0;
    QByteArray data(kValueBufferSize, '\0');
    if (Registry::queryValue(key, SubKeyRef, type, data) != RegistryStatus::Success) {
        KeyVal.clear();
        Registry::closeKey(key);
        return false;
    }
    if (data.endsWith('\0'))
        data.chop(1);

    switch (type) {
    case RegistryType::Text:
        // Text is kept in the system's 8-bit encoding, UTF-8 here.
        KeyVal = QString::fromUtf8(data);
        break;
    case RegistryType::Number: {
        // Least significant byte first; a zero top byte may already be gone.
        quint32 number = 0;
        for (qsizetype i = qMin<qsizetype>(data.size(), 4) - 1; i >= 0; --i)
            number = (number << 8) | quint8(data[i]);
        KeyVal = QString::number(number);
        break;
    }
    default:
        break;
    }
    Registry::closeKey(key);
    return true;
}

void frmAbout::setProgramStarter(ProgramStarter starter)
{
    installedStarter() = std::move(starter);
}

void showAboutWindow(QWidget *parent)
{
    auto window = std::make_unique<frmAbout>(parent);
    window->exec();
}
