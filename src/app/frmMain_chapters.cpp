#include "app/frmMain.h"

#include "archive/ChapterArchive.h"
#include "catalogue/ChapterCatalogue.h"
#include "catalogue/PageList.h"
#include "imaging/PageImages.h"
#include "platform/FileSystem.h"
#include "platform/PictureControls.h"
#include "platform/PlatformError.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>

FileSystem &frmMain::fileSys()
{
    if (!FileSys)
        FileSys = std::make_unique<FileSystem>();
    return *FileSys;
}

void frmMain::GetChapterNames(const QString &FolderPath)
{
    if (!fileSys().folderExists(FolderPath))
        return;
    ChapterNames = chapterEntriesOf(FolderPath);
}

QStringList frmMain::chapterEntriesOf(const QString &FolderPath)
{
    QStringList archives;
    DirectorySearch search;
    // One pass over the folder, however many kinds of archive there are.
    for (QString name = search.first(FolderPath + QStringLiteral("*")); !name.isEmpty();
         name = search.next()) {
        if (isChapterArchiveName(name))
            archives.append(name);
    }

    QStringList subFolders;
    for (const FsFolder &folder : fileSys().getFolder(FolderPath).subFolders())
        subFolders.append(folder.name());

    return ChapterCatalogue::chapterEntries(subFolders, archives);
}

bool frmMain::hasChapters(const QString &FolderPath)
{
    // The entries end with an empty one.
    return chapterEntriesOf(FolderPath).size() > 1;
}

void frmMain::LoadChapterList(const QString &FolderPath)
{
    ++m_viewChanges;
    {
        // Filling the list selects nothing; the callers choose the chapter.
        const QSignalBlocker quiet(cboChapters);
        cboChapters->clear();
        if (!fileSys().folderExists(FolderPath))
            return;
        GetChapterNames(FolderPath);
        if (ChapterNames.size() - 1 == 0)
            return;
        for (qsizetype i = 0; i + 1 < ChapterNames.size(); ++i) {
            const auto item = ChapterCatalogue::chapterItem(ChapterNames[i]);
            cboChapters->addItem(item.text, item.kind);
        }
        cboChapters->setCurrentIndex(-1);
    }
    Image1->clearPicture();
}

void frmMain::cboChapters_Click()
{
    adoptFolderModes();
    m_spreadsMade = false; // split again for the chapter chosen
    IsZipChapter = toBool16(cboChapters->currentData().toInt() == ChapterCatalogue::ArchiveKind);
    // Work ahead for the chapter left behind is of no use now.
    m_pages->dropAhead();
    if (IsZipChapter) {
        BuildZipPageList(cboChapters->currentText());
    } else {
        try {
            ChapterFolder = std::make_unique<FsFolder>(
                fileSys().getFolder(PagoraFolder + cboChapters->currentText()));
            ChapterFiles = std::make_unique<QList<FsFile>>(ChapterFolder->files());
        } catch (const PlatformError &) {
            // The chapter's folder vanished after the list was made: an
            // empty chapter rather than a crash.
            ChapterFolder.reset();
            ChapterFiles = std::make_unique<QList<FsFile>>();
        }
        BuildFolderPageList();
    }
    if (PageCount < 1) {
        Image1->clearPicture();
        lblPage->setText(QString());
    }
    PageIndex = 1;
    ShowPage(PageIndex);
}

void frmMain::BuildFolderPageList()
{
    QStringList fileNames;
    if (ChapterFiles) {
        fileNames.reserve(ChapterFiles->size());
        for (const FsFile &file : *ChapterFiles)
            fileNames.append(file.name());
    }
    PageNames = PageList::folderPageNames(fileNames);
    PageCount = static_cast<qint16>(PageNames.size());
    if (PageNames.isEmpty())
        PageNames.append(QString());
}
