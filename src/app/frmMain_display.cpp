#include "app/frmMain.h"

#include "archive/ZipPages.h"
#include "archive/modUnZip.h"
#include "imaging/PageImages.h"
#include "imaging/PageSizing.h"
#include "imaging/PictureLoader.h"
#include "imaging/SpreadPicture.h"
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

void frmMain::setNavigationFor(qint16 first, qint16 last)
{
    cmdNavigate[0]->setEnabled(true);
    cmdNavigate[1]->setEnabled(true);
    rcmnuNextPage->setEnabled(true);
    cmdNavigate[2]->setEnabled(true);
    rcmnuPreviousPage->setEnabled(true);
    cmdNavigate[3]->setEnabled(true);
    if (first == 1) {
        cmdNavigate[0]->setEnabled(false);
        cmdNavigate[1]->setEnabled(false);
        rcmnuPreviousPage->setEnabled(false);
    }
    if (last == PageCount) {
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
    adoptFolderModes();
    // In Two Pages a page is shown in the spread that holds it, and the
    // spread goes by its first page.
    const Spreads::Spread spread = spreadAt(PageNumber);
    PageNumber = static_cast<qint16>(spread.first + 1);
    const qint16 n = PageNumber;
    m_pagesShown = static_cast<qint16>(spread.count);
    m_pages->setPagesShown(mnuTwoPages->isChecked() ? 2 : 1);

    setNavigationFor(n, static_cast<qint16>(n + spread.count - 1));
    lblPage->setText(spread.count == 2
                         ? QStringLiteral("Pages %1-%2 of %3").arg(n).arg(n + 1).arg(PageCount)
                         : QStringLiteral("Page %1 of %2").arg(n).arg(PageCount));
    Image2->setStretch(false);

    try {
        if (spread.count == 2) {
            // A page that fails is told about, and the other is shown alone.
            const std::optional<LoadedPage> first = loadSpreadPage(n);
            const std::optional<LoadedPage> second = loadSpreadPage(static_cast<qint16>(n + 1));
            if (first && second)
                showSpread(*first, *second);
            else if (first || second)
                showPicture(first ? *first : *second);
            return;
        }
        // In a fit mode a page shown at half its size or less is decoded at
        // a reduced scale where its format allows (Two Pages decodes whole
        // pages, as they may be shown beside another).
        const bool reduce = fitMode() != PageSizing::Fit::None && !mnuTwoPages->isChecked();
        if (const std::optional<LoadedPage> page = loadPage(n, reduce ? pageDisplaySize()
                                                                      : ShownSize()))
            showPicture(*page);
    } catch (const PlatformError &error) {
        if (error.number() == ErrorNumber::DiskNotReady) {
            showMessage(QStringLiteral("Disk Not Ready"),
                        QStringLiteral("Disk not ready. If you are using removable media such as "
                                       "a CD or Zip disk, please be sure it is properly inserted"),
                        PromptIcon::Information);
            ClearView();
            return;
        }
        reportPageFailure(error.number(), error.description(), PageNames.value(n - 1));
    }
}

PageSource frmMain::pageSource(qint16 page) const
{
    const QString chapter = PagoraFolder + cboChapters->currentText();
    const QString name = PageNames.value(page - 1);
    return IsZipChapter ? PageSource::of(chapter, name)
                        : PageSource::of(chapter + QLatin1Char('/') + name);
}

std::optional<frmMain::LoadedPage> frmMain::loadPage(qint16 pageNumber, const ShownSize &reduceTo)
{
    const QString memberName = PageNames.value(pageNumber - 1);
    LoadedPage page;
    page.source = pageSource(pageNumber);
    // A page held already (decoded ahead, or shown before) is not read
    // again; an archive page still leaves its temporary page file, from the
    // bytes it was read from.
    if (IsZipChapter && !haveRunFolder(memberName)) {
        reportPageFailure(0, QString(), memberName);
        return std::nullopt;
    }
    std::optional<PagePicture> held = m_pages->find(page.source, reduceTo);
    page.file = held ? m_pages->fileOf(page.source) : QByteArray();
    if (IsZipChapter && page.file.isEmpty())
        held.reset();
    QString path = page.source.path;
    if (IsZipChapter) {
        if (held) {
            modUnZip::ZipMessageText.clear();
            path = AppFolder + QStringLiteral("TempImage.")
                   + leaveZipPageFile(fileSys(), memberName, AppFolder, &page.file);
        } else {
            path = AppFolder + QStringLiteral("TempImage.")
                   + ExtractZipPage(memberName, &page.file);
        }
        if (path.endsWith(QLatin1Char('.'))) {
            reportPageFailure(0, QString(), memberName);
            return std::nullopt;
        }
    }
    page.png = isPngPath(path);
    IsPngPage = toBool16(page.png);
    // Decoded once, from the bytes already read for an archive page.
    page.picture = held ? *held
                        : decodePage(page.png, path, IsZipChapter ? &page.file : nullptr, reduceTo);
    return page;
}

std::optional<frmMain::LoadedPage> frmMain::loadSpreadPage(qint16 pageNumber)
{
    try {
        return loadPage(pageNumber, ShownSize());
    } catch (const PlatformError &error) {
        if (error.number() == ErrorNumber::DiskNotReady)
            throw;
        reportPageFailure(error.number(), error.description(), PageNames.value(pageNumber - 1));
        return std::nullopt;
    }
}

bool frmMain::sizeShownPage()
{
    if (fitMode() != PageSizing::Fit::None)
        ZoomFactor = 1.0;
    const QWidget *natural = IsPngPage ? static_cast<QWidget *>(Picture2) : Image2;
    const double naturalW = Twips::width(natural);
    const double naturalH = Twips::height(natural);
    if (PageSizing::zoomed(naturalW, naturalH, ZoomFactor).height == 0)
        return false;
    const PageSizing::Size shown = PageSizing::shown(naturalW, naturalH, ZoomFactor, fitMode(),
                                                     viewport());
    if (fitMode() == PageSizing::Fit::Window) {
        hideVerticalBar();
        hideHorizontalBar();
    }
    Twips::setWidth(Image1, shown.width);
    Twips::setHeight(Image1, shown.height);
    arrangeScrollBars();
    Twips::setTop(Image1, 0);
    Twips::setLeft(Image1, 0);
    // A new page opens at its top right corner.
    if (hsImage->isVisibleTo(this))
        hsImage->setValue(hsImage->maximum());
    return true;
}

void frmMain::showPicture(const LoadedPage &page)
{
    IsPngPage = toBool16(page.png);
    measureNaturalSize(page.picture);
    Image1->clearPicture();
    if (!sizeShownPage())
        return;
    if (page.source.isValid())
        m_pages->showing(page.source, page.picture, page.file);
    Image1->setPicture(m_pages->atSize(page.source, page.picture.image, Image1->size()));
    // A reader who zoomed is likely to zoom again: the next steps either
    // way are shrunk ahead.
    if (fitMode() == PageSizing::Fit::None && ZoomFactor != 1.0)
        m_pages->prepareSizes(page.source,
                              {zoomedSize(page.picture.natural, ZoomFactor + 0.2 * ZoomFactor),
                               zoomedSize(page.picture.natural, ZoomFactor - 0.2 * ZoomFactor)});
    finishShowing();
}

void frmMain::showSpread(const LoadedPage &first, const LoadedPage &second)
{
    // The spread is one picture for the sizing, the bars and the zoom.
    IsPngPage = kFalse16;
    measureNaturalSize({first.picture.image,
                        SpreadPicture::naturalSize(first.picture.natural, second.picture.natural)});
    Image1->clearPicture();
    if (!sizeShownPage())
        return;
    m_pages->showing(first.source, first.picture, first.file);
    m_pages->showingBeside(second.source, second.picture, second.file);
    const auto [firstSize, secondSize] = SpreadPicture::partSizes(
        first.picture.natural, second.picture.natural, Image1->size());
    const QImage firstPart = m_pages->atSize(first.source, first.picture.image, firstSize);
    const QImage secondPart = m_pages->atSize(second.source, second.picture.image, secondSize);
    // Each page drawn in its part: no picture of the whole spread is made.
    if (mnuRightToLeft->isChecked())
        Image1->setPictures(secondPart, firstPart, secondSize.width());
    else
        Image1->setPictures(firstPart, secondPart, firstSize.width());
    finishShowing();
}

void frmMain::finishShowing()
{
    PicImage->setFocus();
    // Painted now rather than at the next update pass: the page is what
    // the reader waits for, and saving the position can follow it. A
    // resized window is repainted whole as soon as its resize is done.
    if (!m_resizing)
        Image1->repaint();
    saveReadingPosition();
    decodeAheadFrom(PageIndex);
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

PageSizing::Viewport frmMain::viewport() const
{
    PageSizing::Viewport view;
    view.width = Twips::width(PicImage) + (vsImage->isVisibleTo(this) ? Twips::width(vsImage) : 0);
    view.height = Twips::height(PicImage)
                  + (hsImage->isVisibleTo(this) ? Twips::height(hsImage) : 0);
    view.frameWidth = Twips::fromPixels(PicImage->width() - PicImage->contentsRect().width());
    view.frameHeight = Twips::fromPixels(PicImage->height() - PicImage->contentsRect().height());
    view.verticalBarWidth = Twips::width(vsImage);
    view.horizontalBarHeight = Twips::height(hsImage);
    return view;
}

ShownSize frmMain::pageDisplaySize() const
{
    // As ShowPage sizes a page.
    const PageSizing::Fit fit = fitMode();
    const double zoom = ZoomFactor;
    const PageSizing::Viewport view = viewport();
    return [fit, zoom, view](QSize natural) {
        const PageSizing::Size size = PageSizing::shown(Twips::fromPixels(natural.width()),
                                                        Twips::fromPixels(natural.height()), zoom,
                                                        fit, view);
        return QSize(Twips::toPixels(size.width), Twips::toPixels(size.height));
    };
}

void frmMain::decodeAheadFrom(qint16 shown)
{
    const ShownSize display = pageDisplaySize();
    if (mnuTwoPages->isChecked()) {
        decodeSpreadsAhead(shown, display);
        return;
    }
    // The pages the reader goes to next: the next one, the one before, then
    // further on, as far as the budget goes.
    QList<PageSource> ahead;
    for (const int page : {shown + 1, shown - 1, shown + 2, shown + 3, shown + 4, shown + 5}) {
        if (page >= 1 && page <= PageCount)
            ahead.append(pageSource(static_cast<qint16>(page)));
    }
    // Decoded and sized as ShowPage would decode and size them now.
    const bool fit = fitMode() != PageSizing::Fit::None;
    m_pages->decodeAhead(ahead, decoderAheadOfTime(AppFolder), display,
                         fit ? display : ShownSize());
}

void frmMain::decodeSpreadsAhead(qint16 shown, const ShownSize &display)
{
    // The page beside the one shown, the next spread, the one before, then
    // further on; each page shrunk ahead to its part of its spread, as far
    // as the page sizes read from the headers tell.
    const int at = Spreads::holding(m_spreads, shown - 1);
    QList<PageSource> ahead;
    QHash<PageSource, QSize> parts;
    for (const int index : {at, at + 1, at - 1, at + 2, at + 3}) {
        if (at < 0 || index < 0 || index >= m_spreads.size())
            continue;
        const Spreads::Spread spread = m_spreads[index];
        std::optional<std::pair<QSize, QSize>> sizes;
        if (spread.count == 2) {
            const QSize first = m_pageSizes.value(spread.first);
            const QSize second = m_pageSizes.value(spread.first + 1);
            if (first.isValid() && second.isValid())
                sizes = SpreadPicture::partSizes(
                    first, second, display(SpreadPicture::naturalSize(first, second)));
        }
        for (int page = spread.first; page < spread.first + spread.count; ++page) {
            const PageSource source = pageSource(static_cast<qint16>(page + 1));
            ahead.append(source);
            if (sizes)
                parts.insert(source, page == spread.first ? sizes->first : sizes->second);
        }
    }
    m_pages->decodeAhead(
        ahead, decoderAheadOfTime(AppFolder),
        PageImages::SourceDisplaySize([parts, display](const PageSource &source, QSize natural) {
            return parts.value(source, display(natural));
        }));
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
    // The bars are decided against the viewport with none shown; a bar shown
    // takes its thickness from the viewport, and Max brings the page's far
    // edge to the viewport's frame.
    const qint32 barW = Twips::width(vsImage);
    const qint32 barH = Twips::height(hsImage);
    const PageSizing::Viewport view = viewport();
    const qint32 borderW = view.frameWidth;
    const qint32 borderH = view.frameHeight;
    const qint32 pageW = Twips::width(Image1);
    const qint32 pageH = Twips::height(Image1);
    const PageSizing::Bars bars = PageSizing::barsFor({pageW, pageH}, fitMode(), view);
    const bool needV = bars.vertical;
    const bool needH = bars.horizontal;

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
