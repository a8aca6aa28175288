#include "app/frmMain.h"

#include "archive/ZipPages.h"
#include "archive/modUnZip.h"
#include "imaging/PageImages.h"
#include "imaging/PageSizing.h"
#include "imaging/PictureLoader.h"
#include "imaging/modFreeImage.h"
#include "platform/PictureControls.h"
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

// Any ".png" in the path, folder part included, sends the page the PNG way;
// the library then goes by the file's content.
bool isPngPath(const QString &path)
{
    return path.toUpper().contains(QLatin1String(".PNG"));
}

// The temporary page file an archive member leaves in the run folder.
QString pageFileOf(const QString &appFolder, const QString &memberName)
{
    return appFolder + QStringLiteral("TempImage.") + zipPageExtension(memberName);
}

// Decodes a page, from its file or from the bytes read for it, the PNG way
// or through the picture loader, reduced for `reduceTo` where the format
// allows. Safe on any thread.
PagePicture decodePage(bool png, const QString &path, const QByteArray *bytes,
                       const ShownSize &reduceTo)
{
    if (png) {
        QImage image = bytes ? modFreeImage::DecodePngPage(*bytes)
                             : modFreeImage::DecodePngPage(path);
        const QSize natural = image.size();
        return {std::move(image), natural};
    }
    return bytes ? LoadPage(*bytes, reduceTo) : LoadPage(path, reduceTo);
}

// Decodes a page on the worker. An archive page is read with its own handle
// and never asks for a password: one not known yet fails here and is asked
// for when the page is shown.
PageImages::Decoder decoderAheadOfTime(const QString &appFolder)
{
    return [appFolder](const PageSource &page, const ShownSize &reduceTo, QByteArray *file) {
        if (page.member.isEmpty())
            return decodePage(isPngPath(page.path), page.path, nullptr, reduceTo);
        std::optional<QByteArray> bytes = readZipPage(page.path, page.member, {}, nullptr,
                                                      PageImages::MostFileBytesAhead);
        if (!bytes)
            throw PlatformError(ErrorNumber::InvalidPicture);
        *file = *bytes;
        return decodePage(isPngPath(pageFileOf(appFolder, page.member)), QString(), file, reduceTo);
    };
}

// A page of `natural` pixels at `zoom`, in pixels, as ShowPage sizes it.
QSize zoomedSize(QSize natural, double zoom)
{
    const PageSizing::Size size = PageSizing::zoomed(Twips::fromPixels(natural.width()),
                                                     Twips::fromPixels(natural.height()), zoom);
    return QSize(Twips::toPixels(size.width), Twips::toPixels(size.height));
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
        const QString chapter = PagoraFolder + cboChapters->currentText();
        const PageSource source = IsZipChapter
                                      ? PageSource::of(chapter, memberName)
                                      : PageSource::of(chapter + QLatin1Char('/') + memberName);
        // In Fit To Window a page shown at half its size or less is decoded
        // at a reduced scale where its format allows.
        const ShownSize reduceTo = chkFitToWindow->isChecked() ? pageDisplaySize() : ShownSize();
        // A page held already (decoded ahead, or shown before) is not read
        // again; an archive page still leaves its temporary page file, from
        // the bytes it was read from.
        if (IsZipChapter && !haveRunFolder(memberName)) {
            reportPageFailure(0, QString(), memberName);
            return;
        }
        std::optional<PagePicture> held = m_pages->find(source, reduceTo);
        QByteArray file = held ? m_pages->fileOf(source) : QByteArray();
        if (IsZipChapter && file.isEmpty())
            held.reset();
        PagePicture picture;
        if (held) {
            picture = *held;
            QString path = source.path;
            if (IsZipChapter) {
                modUnZip::ZipMessageText.clear();
                path = AppFolder + QStringLiteral("TempImage.")
                       + leaveZipPageFile(fileSys(), memberName, AppFolder, &file);
                if (path.endsWith(QLatin1Char('.'))) {
                    reportPageFailure(0, QString(), memberName);
                    return;
                }
            }
            IsPngPage = toBool16(isPngPath(path));
            measureNaturalSize(picture);
        } else {
            QString path;
            if (IsZipChapter) {
                path = AppFolder + QStringLiteral("TempImage.") + ExtractZipPage(memberName, &file);
                if (path.endsWith(QLatin1Char('.'))) {
                    reportPageFailure(0, QString(), memberName);
                    return;
                }
            } else {
                path = source.path;
            }

            // Decoded once, from the bytes already read for an archive page.
            IsPngPage = toBool16(isPngPath(path));
            picture = decodePage(IsPngPage, path, IsZipChapter ? &file : nullptr, reduceTo);
            measureNaturalSize(picture);
        }

        Image1->clearPicture();
        if (chkFitToWindow->isChecked())
            ZoomFactor = 1.0;

        const QWidget *natural = IsPngPage ? static_cast<QWidget *>(Picture2) : Image2;
        PageSizing::Size shown = PageSizing::zoomed(Twips::width(natural), Twips::height(natural),
                                                    ZoomFactor);
        if (shown.height == 0)
            return;
        if (chkFitToWindow->isChecked()) {
            hideVerticalBar();
            hideHorizontalBar();
            shown = PageSizing::fitted(shown, Twips::width(PicImage), Twips::height(PicImage));
        }

        Twips::setWidth(Image1, shown.width);
        Twips::setHeight(Image1, shown.height);
        arrangeScrollBars();
        Twips::setTop(Image1, 0);
        Twips::setLeft(Image1, 0);
        // A new page opens at its top right corner.
        if (hsImage->isVisibleTo(this))
            hsImage->setValue(hsImage->maximum());

        if (source.isValid())
            m_pages->showing(source, picture, file);
        Image1->setPicture(m_pages->atSize(source, picture.image, Image1->size()));
        // A reader who zoomed is likely to zoom again: the next steps either
        // way are shrunk ahead.
        if (!chkFitToWindow->isChecked() && ZoomFactor != 1.0)
            m_pages->prepareSizes(source,
                                  {zoomedSize(picture.natural, ZoomFactor + 0.2 * ZoomFactor),
                                   zoomedSize(picture.natural, ZoomFactor - 0.2 * ZoomFactor)});
        PicImage->setFocus();
        // Painted now rather than at the next update pass: the page is what
        // the reader waits for, and saving the position can follow it. A
        // resized window is repainted whole as soon as its resize is done.
        if (!m_resizing)
            Image1->repaint();
        saveReadingPosition();
        decodeAheadFrom(n);
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

void frmMain::measureNaturalSize(const PagePicture &picture)
{
    // The sizing reads a page's natural size from the control that measures
    // it: Picture2 for a PNG page (which also holds it), Image2 otherwise,
    // at the natural size even when the page was decoded at a reduced scale.
    if (IsPngPage) {
        Picture2->resize(picture.natural);
        Picture2->setImage(picture.image);
    } else {
        Image2->setPicture(picture.image);
        Image2->resize(picture.natural);
    }
}

ShownSize frmMain::pageDisplaySize() const
{
    // As ShowPage sizes a page: zoomed, or in Fit To Window fitted to the
    // viewport with both bars hidden.
    const bool fit = chkFitToWindow->isChecked();
    const double zoom = fit ? 1.0 : ZoomFactor;
    const qint32 viewW = Twips::width(PicImage)
                         + (vsImage->isVisibleTo(this) ? Twips::width(vsImage) : 0);
    const qint32 viewH = Twips::height(PicImage)
                         + (hsImage->isVisibleTo(this) ? Twips::height(hsImage) : 0);
    return [fit, zoom, viewW, viewH](QSize natural) {
        if (!fit)
            return zoomedSize(natural, zoom);
        const PageSizing::Size size = PageSizing::fitted(
            PageSizing::zoomed(Twips::fromPixels(natural.width()),
                               Twips::fromPixels(natural.height()), 1.0),
            viewW, viewH);
        return QSize(Twips::toPixels(size.width), Twips::toPixels(size.height));
    };
}

void frmMain::decodeAheadFrom(qint16 shown)
{
    // The pages the reader goes to next: the next one, the one before, then
    // further on, as far as the budget goes.
    QList<PageSource> ahead;
    const QString chapter = PagoraFolder + cboChapters->currentText();
    for (const int page : {shown + 1, shown - 1, shown + 2, shown + 3, shown + 4, shown + 5}) {
        if (page < 1 || page > PageCount)
            continue;
        const QString name = PageNames.value(page - 1);
        ahead.append(IsZipChapter ? PageSource::of(chapter, name)
                                  : PageSource::of(chapter + QLatin1Char('/') + name));
    }
    // Decoded and sized as ShowPage would decode and size them now.
    const ShownSize display = pageDisplaySize();
    m_pages->decodeAhead(ahead, decoderAheadOfTime(AppFolder), display,
                         chkFitToWindow->isChecked() ? display : ShownSize());
}

void frmMain::reportPageFailure(int errorNumber, const QString &description,
                                const QString &memberName)
{
    const QString title = QStringLiteral("Error Accessing Page");
    const QString reason = kCrLf + kCrLf + QStringLiteral("Error message was: ")
                           + QString::number(errorNumber) + QLatin1Char(' ') + description;
    QString text;
    if (IsZipChapter) {
        text = QStringLiteral("Unable to load the requested page: ") + memberName + kCrLf
               + QStringLiteral(" from the image zip archive:") + PagoraFolder
               + cboChapters->currentText();
        if (!modUnZip::ZipMessageText.isEmpty())
            text += kCrLf + kCrLf + QStringLiteral("Zip Information: ") + kCrLf
                    + modUnZip::ZipMessageText;
        // A member read whole but not decoded says why, as a folder page does.
        if (errorNumber != 0)
            text += reason;
    } else {
        text = QStringLiteral("Unable to load the requested page:") + PagoraFolder
               + cboChapters->currentText() + QLatin1Char('/') + memberName + reason;
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
    const qint32 borderH = Twips::fromPixels(PicImage->height()
                                             - PicImage->contentsRect().height());
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
        const qint32 max = Twips::nearest(pageH - (Twips::height(PicImage) - borderH));
        vsImage->setMaximum(max);
        vsImage->setPageStep(atLeastOne(Twips::nearest(max * 0.2)));
        vsImage->setSingleStep(atLeastOne(Twips::nearest(max * 0.05)));
        vsImage->setValue(0);
    }
    if (needH) {
        const qint32 max = Twips::nearest(pageW - (Twips::width(PicImage) - borderW));
        hsImage->setMaximum(max);
        hsImage->setPageStep(atLeastOne(Twips::nearest(max * 0.05)));
        hsImage->setValue(0);
    }
}

void frmMain::saveReadingPosition()
{
    SettingsStore &settings = Settings();
    const QString chapter = cboChapters->currentText();
    const QString page = QString::number(PageIndex);
    const QString position = formatSavedPosition(chapter, PageIndex);
    const QString &general = SettingsStore::GeneralSection;
    // A redisplay of the same page (a resize, a zoom step) stores nothing
    // new: the file is not rewritten for it.
    const QString unset = QStringLiteral("\n<unset>");
    if (settings.read(general, QStringLiteral("LastChapter"), unset) == chapter
        && settings.read(general, QStringLiteral("LastPage"), unset) == page
        && settings.read(SettingsStore::FolderSection, PagoraFolder, unset) == position
        && settings.read(general, QStringLiteral("ChapterDirectory"), unset) == PagoraFolder)
        return;
    settings.write(general, QStringLiteral("LastChapter"), chapter);
    settings.write(general, QStringLiteral("LastPage"), page);
    // Under the folder shown, never under whatever the folder box holds.
    settings.write(SettingsStore::FolderSection, PagoraFolder, position);
    settings.write(general, QStringLiteral("ChapterDirectory"), PagoraFolder);
    saveSettings();
}

void frmMain::saveSettings()
{
    // Reading goes on when the position cannot be saved; the reader is told
    // once a run, and a later save that works says nothing.
    QString why;
    if (Settings().sync(&why) || m_toldSettingsNotSaved)
        return;
    m_toldSettingsNotSaved = true;
    showMessage(QStringLiteral("Settings Not Saved"),
                QStringLiteral("The reading position could not be saved in the settings file ")
                    + Settings().fileName() + kCrLf + kCrLf + QStringLiteral("Reason: ") + why,
                PromptIcon::Information);
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
