#include "app/frmMain.h"

#include "archive/modUnZip.h"
#include "imaging/modFreeImage.h"
#include "platform/PictureControls.h"
#include "platform/PictureLoader.h"
#include "platform/PlatformError.h"
#include "platform/Prompts.h"
#include "platform/Twips.h"
#include "settings/SavedPosition.h"
#include "settings/SettingsStore.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <cmath>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

qint32 nearest(double value)
{
    return static_cast<qint32>(std::nearbyint(value));
}

// Scroll steps never fall to 0, however short the range.
int atLeastOne(qint32 step)
{
    return std::max<qint32>(1, step);
}

} // namespace

void frmMain::setNavigationFor(qint16 pageNumber)
{
    cmdNavigate[0]->setEnabled(true);
    cmdNavigate[1]->setEnabled(true);
    rcmnuNextPage->setEnabled(true);
    cmdNavigate[2]->setEnabled(true);
    rcmnuPreviousPage->setEnabled(true);
    cmdNavigate[3]->setEnabled(true);
    if (pageNumber == 1) {
        cmdNavigate[0]->setEnabled(false);
        cmdNavigate[1]->setEnabled(false);
        rcmnuPreviousPage->setEnabled(false);
    }
    if (pageNumber == PageCount) {
        cmdNavigate[2]->setEnabled(false);
        rcmnuNextPage->setEnabled(false);
        cmdNavigate[3]->setEnabled(false);
    }
}

void frmMain::ShowPage(qint16 &PageNumber)
{
    if (PageNumber < 1 || PageNumber > PageCount)
        return;
    if (!settleFolderBox())
        return;
    const qint16 n = PageNumber;

    setNavigationFor(n);
    lblPage->setText(QStringLiteral("Page %1 of %2").arg(n).arg(PageCount));
    Image2->setStretch(false);

    const QString memberName = PageNames.value(n - 1);
    try {
        // The same unchanged page shown again (a resize, a zoom step) is
        // neither extracted nor decoded again.
        const QString chapter = PagoraFolder + cboChapters->currentText();
        const QFileInfo source(IsZipChapter ? chapter : chapter + QLatin1Char('/') + memberName);
        const QString key = source.filePath() + QLatin1Char('\n') + memberName;
        QImage picture;
        if (m_shownPage.matches(key, source)) {
            IsPngPage = m_shownPage.png;
            picture = m_shownPage.picture;
            if (!IsPngPage)
                Image2->setPicture(picture);
        } else {
            m_shownPage = {};
            QString path;
            if (IsZipChapter) {
                path = AppFolder + QStringLiteral("TempImage.") + ExtractZipPage(memberName);
                if (path.endsWith(QLatin1Char('.'))) {
                    reportPageFailure(0, QString(), memberName);
                    return;
                }
            } else {
                path = source.filePath();
            }

            // Any ".png" in the path, folder part included, sends the page the
            // PNG way; the library then goes by the file's content.
            IsPngPage = toBool16(path.toUpper().contains(QLatin1String(".PNG")));
            if (IsPngPage) {
                // Picture2 takes the page's pixel size, the natural size
                // read below, and holds the page.
                picture = modFreeImage::DecodePngPage(path);
                Picture2->resize(picture.size());
                Picture2->setImage(picture);
            } else {
                // Decoded once: measured in Image2 and shown in Image1.
                picture = LoadPicture(path);
                Image2->setPicture(picture);
            }
            m_shownPage = {key, source.size(), source.lastModified(), picture, IsPngPage};
        }

        Image1->clearPicture();
        if (chkFitToWindow->isChecked())
            ZoomFactor = 1.0;

        const QWidget *natural = IsPngPage ? static_cast<QWidget *>(Picture2) : Image2;
        qint32 W = nearest(Twips::width(natural) * ZoomFactor);
        qint32 H = nearest(Twips::height(natural) * ZoomFactor);
        if (H == 0)
            return;
        if (chkFitToWindow->isChecked())
            fitToViewport(W, H);

        Twips::setWidth(Image1, W);
        Twips::setHeight(Image1, H);
        arrangeScrollBars();
        Twips::setTop(Image1, 0);
        Twips::setLeft(Image1, 0);
        // A new page opens at its top right corner.
        if (hsImage->isVisibleTo(this))
            hsImage->setValue(hsImage->maximum());

        Image1->setPicture(picture);
        PicImage->setFocus();
        saveReadingPosition();
    } catch (const PlatformError &error) {
        if (error.number() == ErrorNumber::DiskNotReady) {
            showMessage(QStringLiteral("Disk Not Ready"),
                        QStringLiteral("Disk not ready. If you are using removable media such as "
                                       "a CD or Zip disk, please be sure it is properly inserted"),
                        PromptIcon::Information);
            ClearView();
            return;
        }
        reportPageFailure(error.number(), error.description(), memberName);
    }
}

void frmMain::reportPageFailure(int errorNumber, const QString &description,
                                const QString &memberName)
{
    const QString title = QStringLiteral("Error Accessing Page");
    QString text;
    if (IsZipChapter) {
        text = QStringLiteral("Unable to load the requested page: ") + memberName + kCrLf
               + QStringLiteral(" from the image zip archive:") + PagoraFolder
               + cboChapters->currentText();
        if (!modUnZip::ZipMessageText.isEmpty())
            text += kCrLf + kCrLf + QStringLiteral("Zip Information: ") + kCrLf
                    + modUnZip::ZipMessageText;
    } else {
        text = QStringLiteral("Unable to load the requested page:") + PagoraFolder
               + cboChapters->currentText() + QLatin1Char('/') + memberName + kCrLf + kCrLf
               + QStringLiteral("Error message was: ") + QString::number(errorNumber)
               + QLatin1Char(' ') + description;
    }
    showMessage(title, text, PromptIcon::Information);
    // Never leave the previous page on screen under the new page's caption.
    Image1->clearPicture();
}

void frmMain::hideVerticalBar()
{
    if (!vsImage->isVisibleTo(this))
        return;
    vsImage->hide();
    Twips::setWidth(PicImage, Twips::width(PicImage) + Twips::width(vsImage));
    Twips::setWidth(hsImage, Twips::width(hsImage) + Twips::width(vsImage));
    // A hidden bar keeps no range, so a page that fits never moves along it.
    vsImage->setMaximum(0);
}

void frmMain::hideHorizontalBar()
{
    if (!hsImage->isVisibleTo(this))
        return;
    hsImage->hide();
    Twips::setHeight(PicImage, Twips::height(PicImage) + Twips::height(hsImage));
    Twips::setHeight(vsImage, Twips::height(vsImage) + Twips::height(hsImage));
    hsImage->setMaximum(0);
}

void frmMain::fitToViewport(qint32 &width, qint32 &height)
{
    hideVerticalBar();
    hideHorizontalBar();
    const double aspect = double(width) / height;
    // Fitting only shrinks; a page smaller than the viewport stays as it is.
    if (Twips::height(PicImage) < height) {
        height = nearest(Twips::height(PicImage));
        width = nearest(height * aspect);
    }
    if (Twips::width(PicImage) < width) {
        width = nearest(Twips::width(PicImage));
        height = nearest(width / aspect);
    }
}

void frmMain::arrangeScrollBars()
{
    // Decide both bars together against the viewport without bars, so that
    // one bar's thickness never leaves a strip of the page out of reach.
    // The page shows inside the viewport's border: a page larger than that
    // needs a bar, and Max brings its far edge to the border. A fitted page
    // was sized to the whole viewport and never needs a bar.
    const qint32 pageW = Twips::width(Image1);
    const qint32 pageH = Twips::height(Image1);
    const qint32 barW = Twips::width(vsImage);
    const qint32 barH = Twips::height(hsImage);
    const qint32 borderW = Twips::fromPixels(PicImage->width() - PicImage->contentsRect().width());
    const qint32 borderH =
        Twips::fromPixels(PicImage->height() - PicImage->contentsRect().height());
    const bool fitted = chkFitToWindow->isChecked();
    const qint32 fullW = Twips::width(PicImage) + (vsImage->isVisibleTo(this) ? barW : 0)
                         - (fitted ? 0 : borderW);
    const qint32 fullH = Twips::height(PicImage) + (hsImage->isVisibleTo(this) ? barH : 0)
                         - (fitted ? 0 : borderH);
    bool needV = pageH > fullH;
    bool needH = pageW > (needV ? fullW - barW : fullW);
    needV = pageH > (needH ? fullH - barH : fullH);
    needH = pageW > (needV ? fullW - barW : fullW);

    if (!needV) {
        hideVerticalBar();
        vsImage->setValue(0);
    } else if (!vsImage->isVisibleTo(this)) {
        Twips::setWidth(PicImage, Twips::width(PicImage) - barW);
        Twips::setWidth(hsImage, Twips::width(hsImage) - barW);
        vsImage->show();
    }
    if (!needH) {
        hideHorizontalBar();
        hsImage->setValue(0);
    } else if (!hsImage->isVisibleTo(this)) {
        Twips::setHeight(PicImage, Twips::height(PicImage) - barH);
        Twips::setHeight(vsImage, Twips::height(vsImage) - barH);
        hsImage->show();
    }

    if (needV) {
        const qint32 max = nearest(pageH - (Twips::height(PicImage) - borderH));
        vsImage->setMaximum(max);
        vsImage->setPageStep(atLeastOne(nearest(max * 0.2)));
        vsImage->setSingleStep(atLeastOne(nearest(max * 0.05)));
        vsImage->setValue(0);
    }
    if (needH) {
        const qint32 max = nearest(pageW - (Twips::width(PicImage) - borderW));
        hsImage->setMaximum(max);
        hsImage->setPageStep(atLeastOne(nearest(max * 0.05)));
        hsImage->setValue(0);
    }
}

void frmMain::saveReadingPosition()
{
    SettingsStore &settings = Settings();
    const QString chapter = cboChapters->currentText();
    settings.write(QStringLiteral("General"), QStringLiteral("LastChapter"), chapter);
    settings.write(QStringLiteral("General"), QStringLiteral("LastPage"),
                   QString::number(PageIndex));
    // Under the folder shown, never under whatever the folder box holds.
    settings.write(SettingsStore::FolderSection, PagoraFolder,
                   formatSavedPosition(chapter, PageIndex));
    settings.write(QStringLiteral("General"), QStringLiteral("ChapterDirectory"), PagoraFolder);
    settings.sync();
}

void frmMain::ClearView()
{
    m_viewEmptied = true;
    ++m_viewChanges;
    Image1->clearPicture();
    cmdNavigate[0]->setEnabled(false);
    cmdNavigate[1]->setEnabled(false);
    rcmnuPreviousPage->setEnabled(false);
    cmdNavigate[2]->setEnabled(false);
    rcmnuNextPage->setEnabled(false);
    cmdNavigate[3]->setEnabled(false);
    lblPage->setText(QString());
    cboChapters->clear();
    cboChapters->setEnabled(false);
    RCMenu->setEnabled(false);
}
