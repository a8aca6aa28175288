#include "app/frmMain.h"

#include "archive/ZipPages.h"
#include "imaging/PageHeaders.h"
#include "settings/SettingsStore.h"

#include <QAction>
#include <QComboBox>

namespace {

const QString kTwoPages = QStringLiteral("TwoPages");
const QString kRightToLeft = QStringLiteral("RightToLeft");

} // namespace

void frmMain::adoptFolderModes()
{
    // Each folder reads in its own modes: those stored for it, or none.
    if (PagoraFolder == m_modesFolder)
        return;
    m_modesFolder = PagoraFolder;
    const QStringList modes = Settings()
                                  .read(SettingsStore::ReadingModesSection, PagoraFolder, QString())
                                  .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    mnuTwoPages->setChecked(modes.contains(kTwoPages));
    mnuRightToLeft->setChecked(modes.contains(kRightToLeft));
    m_spreadsMade = false;
}

void frmMain::storeFolderModes()
{
    if (PagoraFolder.isEmpty())
        return;
    m_modesFolder = PagoraFolder;
    QStringList modes;
    if (mnuTwoPages->isChecked())
        modes << kTwoPages;
    if (mnuRightToLeft->isChecked())
        modes << kRightToLeft;
    Settings().write(SettingsStore::ReadingModesSection, PagoraFolder,
                     modes.join(QLatin1Char(' ')));
    saveSettings();
}

void frmMain::mnuTwoPages_Click()
{
    // The entry has changed its own mark.
    storeFolderModes();
    m_spreadsMade = false;
    if (PageIndex != 0)
        ShowPage(PageIndex);
}

void frmMain::mnuRightToLeft_Click()
{
    storeFolderModes();
    if (PageIndex != 0 && mnuTwoPages->isChecked())
        ShowPage(PageIndex);
}

Spreads::Spread frmMain::spreadAt(qint16 page)
{
    const Spreads::Spread alone{page - 1, 1};
    if (!mnuTwoPages->isChecked())
        return alone;
    if (!m_spreadsMade) {
        m_pageSizes.clear();
        m_spreads.clear();
        m_spreadsMade = true;
    }
    // The headers are read as far as the spreads around the page need, a
    // batch at a time: a chapter opened at its start reads only its first
    // pages' headers, however long it is.
    constexpr int kSizesBeyond = 8; // the next spreads, decoded ahead
    constexpr int kBatch = 32;
    if (m_pageSizes.size() < std::min<int>(PageCount, page + kSizesBeyond)) {
        const int to = std::min<int>(PageCount, page + kBatch);
        m_pageSizes += chapterPageSizes(int(m_pageSizes.size()), to);
        m_spreads = Spreads::split(m_pageSizes, PageCount);
    }
    const int at = Spreads::holding(m_spreads, page - 1);
    return at >= 0 ? m_spreads[at] : alone;
}

QList<QSize> frmMain::chapterPageSizes(int from, int to)
{
    // From the pages' headers: a chapter is split without decoding it.
    const QStringList names = PageNames.mid(from, to - from);
    const QString chapter = PagoraFolder + cboChapters->currentText();
    if (IsZipChapter)
        return zipPageSizes(chapter, names);
    QStringList paths;
    paths.reserve(names.size());
    for (const QString &name : names)
        paths.append(chapter + QLatin1Char('/') + name);
    return PageHeaders::sizesOfFiles(paths);
}
