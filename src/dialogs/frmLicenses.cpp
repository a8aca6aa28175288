#include "dialogs/frmLicenses.h"

#include "platform/PictureControls.h"
#include "platform/Twips.h"
#include "platform/WindowStyle.h"

#include <FreeImage.h>
#include <zip.h>

#include <QLabel>
#include <QPushButton>

namespace {

constexpr int kClientWidth = 5880;
constexpr int kClientHeight = 3645;

const QString kCrLf = QStringLiteral("\r\n");

QLabel *wrappingLabel(QWidget *parent, const QString &name, int left, int top, int width,
                      int height)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    Twips::move(label, left, top, width, height);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

frmLicenses::frmLicenses(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmLicenses"));
    setWindowTitle(QStringLiteral("Licensing Information"));
    setFont(WindowStyle::controlFont());
    setFixedSize(Twips::toPixels(kClientWidth), Twips::toPixels(kClientHeight));

    Picture1 = new PictureBox(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Twips::move(Picture1, 120, 120, 5655, 3375);
    Picture1->setBorder(true);
    Picture1->setFocusPolicy(Qt::NoFocus);
    QWidget *inside = Picture1->client();
    Label1 = wrappingLabel(inside, QStringLiteral("Label1"), 120, 180, 5415, 555);
    Label2 = wrappingLabel(inside, QStringLiteral("Label2"), 120, 900, 4395, 1035);
    Label3 = wrappingLabel(inside, QStringLiteral("Label3"), 120, 2100, 4395, 1035);
    cmdOk = new QPushButton(QStringLiteral("&Quit"), inside);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    Twips::move(cmdOk, 4680, 900, 855, 315);
    connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    cmdOk->setFocus();

    Form_Load();
}

frmLicenses::~frmLicenses() = default;

QString frmLicenses::Introduction()
{
    return QStringLiteral("This program makes use the following components, generously made "
                          "available for public use under the licences named below:");
}

QString frmLicenses::ImageLibraryLine()
{
    return QStringLiteral("Support for the PNG graphics format via: FreeImage %1 by Herve Drolon, "
                          "drolon@infonie.fr (http://freeimage.sourceforge.net), under the "
                          "FreeImage Public License or the GNU GPL v2 or v3, at your choice")
        .arg(QString::fromLatin1(FreeImage_GetVersion()));
}

QString frmLicenses::ArchiveLibraryLine()
{
    return QStringLiteral("Support for zip image libraries via    : libzip %1 by Dieter Baron and "
                          "Thomas Klausner (https://libzip.org), under the BSD 3-Clause License")
        .arg(QString::fromLatin1(zip_libzip_version()));
}

void frmLicenses::Form_Load()
{
    // Label1 carries all three texts, but its height shows only the first.
    const QString all = Introduction() + kCrLf + kCrLf + ImageLibraryLine() + kCrLf + kCrLf
                        + ArchiveLibraryLine();
    Label1->setText(QString(all).replace(kCrLf, QStringLiteral("\n")));
    Label2->setText(ImageLibraryLine());
    Label3->setText(ArchiveLibraryLine());
}

void frmLicenses::cmdOk_Click()
{
    accept();
}
