#include "app/frmMain.h"

#include "archive/ChapterArchive.h"
#include "catalogue/ChapterCatalogue.h"
#include "dialogs/frmBrowse.h"
#include "platform/FileSystem.h"
#include "platform/PictureControls.h"
#include "platform/Prompts.h"
#include "settings/SavedPosition.h"
#include "settings/SettingsStore.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalBlocker>
#include <QUrl>

namespace {

// The folder or archive chapter a drag carries: its first address, when that
// is a local folder or a file named as an archive chapter; else "".
QString droppedPath(const QMimeData *data)
{
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return {};
    const QFileInfo info(urls.first().toLocalFile());
    if (info.isDir() || isChapterArchiveName(info.fileName()))
        return info.absoluteFilePath();
    return {};
}

} // namespace

void frmMain::selectFolderItem(int index)
{
    {
        const QSignalBlocker quiet(cboPagoraDir);
        cboPagoraDir->setCurrentIndex(index);
    }
    // Choosing an item in code runs its handler as a pick by the user does.
    cboPagoraDir_Click();
}

void frmMain::selectChapter(int index)
{
    if (cboChapters->currentIndex() == index)
        cboChapters_Click(); // already selected: open it all the same
    else
        cboChapters->setCurrentIndex(index);
}

void frmMain::selectFirstChapter()
{
    selectChapter(0);
}

void frmMain::openChapterControls()
{
    cboChapters->setEnabled(true);
    RCMenu->setEnabled(true);
    m_viewEmptied = false;
}

bool frmMain::folderUnchanged(const QString &path) const
{
    // From an emptied view the same folder is chosen to be shown again.
    return path == PagoraFolder && !m_viewEmptied;
}

bool frmMain::settleFolderBox()
{
    // Leaving the folder box validates what was typed there. A command that
    // shows a page does that first, so that it never shows or saves a page
    // while the box holds an edit; when the validation changed the folder
    // or emptied the view, that outcome stands and the command ends.
    if (!focusIn(cboPagoraDir))
        return true;
    const quint64 before = m_viewChanges;
    PicImage->setFocus();
    return m_viewChanges == before;
}

void frmMain::showInvalidDirectory()
{
    showMessage(QStringLiteral("Invalid Directory"),
                QStringLiteral("Please specify a valid directory"), PromptIcon::Information);
}

bool frmMain::listChaptersOrRefuse()
{
    LoadChapterList(PagoraFolder);
    if (cboChapters->count() == 0) {
        showInvalidDirectory();
        ClearView();
        return false;
    }
    openChapterControls();
    return true;
}

void frmMain::restoreSavedPosition(const QString &saved)
{
    const SavedPosition position = parseSavedPosition(saved);
    const int found = cboChapters->findText(position.chapter,
                                            Qt::MatchExactly | Qt::MatchCaseSensitive);
    selectChapter(found >= 0 ? found : 0);
    PageIndex = position.page;
    ShowPage(PageIndex);
    // A saved page beyond the chapter's end was declined: keep the number
    // of the page on screen.
    if (PageIndex > PageCount)
        PageIndex = 1;
}

void frmMain::cboPagoraDir_Click()
{
    const QString text = cboPagoraDir->currentText();
    if (folderUnchanged(text))
        return;
    PagoraFolder = text;
    // A history folder that vanished or holds no chapter is refused as a
    // typed one is.
    if (!listChaptersOrRefuse())
        return;
    const QString saved = Settings().read(SettingsStore::FolderSection, PagoraFolder, QString());
    if (saved.trimmed().isEmpty()) {
        selectFirstChapter();
        PageIndex = 1;
        ShowPage(PageIndex);
    } else {
        restoreSavedPosition(saved);
    }
}

void frmMain::cboPagoraDir_Validate()
{
    QString text = cboPagoraDir->currentText();
    if (text.trimmed().isEmpty()) {
        ClearView();
        return;
    }
    if (!text.endsWith(QLatin1Char('/'))) {
        text += QLatin1Char('/');
        cboPagoraDir->setEditText(text);
    }
    if (PagoraFolder.trimmed() == text.trimmed() && !m_viewEmptied)
        return;
    if (!fileSys().folderExists(text)) {
        showInvalidDirectory();
        PagoraFolder.clear();
        ClearView();
        return;
    }
    PagoraFolder = text;
    if (!listChaptersOrRefuse())
        return;
    const QString saved = Settings().read(SettingsStore::FolderSection, PagoraFolder, QString());
    if (!saved.isEmpty()) {
        restoreSavedPosition(saved);
        return;
    }
    // A folder never read before joins the history, once.
    int item = cboPagoraDir->findText(PagoraFolder, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item < 0) {
        const QSignalBlocker quiet(cboPagoraDir);
        cboPagoraDir->addItem(PagoraFolder);
        item = cboPagoraDir->count() - 1;
    }
    selectFolderItem(item);
    selectFirstChapter();
}

void frmMain::onFocusChanged(QWidget *old, QWidget *now)
{
    // Leaving the folder box for another control of this window validates
    // what was typed; losing the whole window or opening a pop-up does not.
    if (!old || !now || now->window() != this)
        return;
    const bool leftBox = (old == cboPagoraDir || cboPagoraDir->isAncestorOf(old))
                         && now != cboPagoraDir && !cboPagoraDir->isAncestorOf(now);
    if (leftBox)
        cboPagoraDir_Validate();
}

void frmMain::cmdBrowse_Click()
{
    const std::optional<QString> chosen = frmBrowse::chooseFolder(this,
                                                                  cboPagoraDir->currentText());
    if (!chosen)
        return;
    QString path = *chosen;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    // Paths are compared as the platform does: on Linux case tells two
    // folders apart.
    if (folderUnchanged(path))
        return;
    LoadChapterList(path);
    if (cboChapters->count() == 0) {
        showInvalidDirectory();
        ClearView();
        PagoraFolder.clear();
        return;
    }
    const int item = cboPagoraDir->findText(path, Qt::MatchExactly | Qt::MatchCaseSensitive);
    cboPagoraDir->setEditText(path);
    if (item >= 0) {
        selectFolderItem(item);
    } else {
        PagoraFolder = path;
        m_viewEmptied = false; // listed above; the new item's pick finds it shown
        {
            const QSignalBlocker quiet(cboPagoraDir);
            cboPagoraDir->addItem(path);
        }
        selectFolderItem(cboPagoraDir->count() - 1);
        selectFirstChapter();
    }
    PagoraFolder = path;
    openChapterControls();
}

bool frmMain::previewDrag(QDropEvent *drag)
{
    // Every other drag goes to the control under the pointer as it always did.
    const QString path = droppedPath(drag->mimeData());
    if (path.isEmpty())
        return false;
    // Only read, never moved: a source that offers nothing but a move is refused.
    const Qt::DropActions offered = drag->possibleActions();
    if (!(offered & (Qt::CopyAction | Qt::LinkAction)))
        return false;
    drag->setDropAction((offered & Qt::CopyAction) ? Qt::CopyAction : Qt::LinkAction);
    drag->accept();
    // Opened once the drop is over: a box it may show must not hold the
    // file manager's drag open.
    if (drag->type() == QEvent::Drop)
        QMetaObject::invokeMethod(
            this, [this, path] { openDroppedPath(path); }, Qt::QueuedConnection);
    return true;
}

void frmMain::openDroppedPath(const QString &path)
{
    const QFileInfo dropped(path);
    const bool archive = !dropped.isDir();
    QString folder = archive ? dropped.absolutePath() : dropped.absoluteFilePath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    // As if typed into the folder box and left: the same checks, boxes,
    // saved position and history.
    cboPagoraDir->setEditText(folder);
    cboPagoraDir_Validate();
    if (!archive || PagoraFolder != folder || m_viewEmptied)
        return;
    // The archive's own chapter, unless it is the one open already.
    const int item = cboChapters->findText(dropped.fileName(),
                                           Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (item >= 0 && item != cboChapters->currentIndex()
        && cboChapters->itemData(item).toInt() == ChapterCatalogue::ArchiveKind)
        cboChapters->setCurrentIndex(item);
}
