#include "app/frmMain.h"

#include "platform/FileSystem.h"
#include "platform/PictureControls.h"
#include "platform/PrivateRunFolder.h"
#include "platform/Prompts.h"
#include "settings/SavedPosition.h"
#include "settings/SettingsStore.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QMenu>
#include <QPixmap>
#include <QSignalBlocker>
#include <QTimer>

namespace {

const QString &kGeneral = SettingsStore::GeneralSection;
const QString kUninitialized = QStringLiteral("Uninitialized");

// The first folder, in name order, under the user's removable media mounts.
QStringList mountedMediaFolders()
{
    const QString user = qEnvironmentVariable("USER");
    QStringList folders;
    if (user.isEmpty())
        return folders;
    for (const QString &root :
         {QStringLiteral("/media/") + user, QStringLiteral("/run/media/") + user}) {
        const QDir dir(root);
        for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            folders.append(dir.filePath(name) + QLatin1Char('/'));
    }
    return folders;
}

QString withSlash(QString path)
{
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

} // namespace

std::function<QStringList()> frmMain::RemovableMediaFolders = mountedMediaFolders;

bool frmMain::event(QEvent *event)
{
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    else if (event->type() == QEvent::Show && !StartupDone)
        // A window manager may show the window without activating it; the
        // reader then starts all the same, once the window is up.
        QTimer::singleShot(0, this, [this] { Form_Activate(); });
    return handled;
}

void frmMain::Form_Activate()
{
    if (StartupDone)
        return;
    StartupDone = true;
    runStartup();
    if (!m_folderAfterStartup.isEmpty()) {
        const QString folder = withSlash(m_folderAfterStartup);
        m_folderAfterStartup.clear();
        openFolderArgument(folder);
    }
}

void frmMain::openFolderArgument(const QString &folder)
{
    // A folder that cannot be read as a series gets the box a typed one
    // gets, but the reader stays where start-up put it: the place it
    // stores at exit is the one it was given, not an empty one.
    if (!fileSys().folderExists(folder) || !hasChapters(folder)) {
        showInvalidDirectory();
        return;
    }
    cboPagoraDir->setEditText(folder);
    cboPagoraDir_Validate();
}

void frmMain::OpenFolderAfterStartup(const QString &folder)
{
    if (StartupDone)
        openFolderArgument(withSlash(folder));
    else
        m_folderAfterStartup = folder;
}

void frmMain::runStartup()
{
    DragAnchorX = -1;
    Image1->setCursor(QCursor(QPixmap(QStringLiteral(":/hand-cursor.png")), 16, 14));

    QString folder = Settings().read(kGeneral, QStringLiteral("ChapterDirectory"), kUninitialized);
    if (folder.isEmpty() || folder == kUninitialized) {
        // First run: a removable medium holding two or more folders may be the series.
        const QStringList candidates = RemovableMediaFolders ? RemovableMediaFolders()
                                                             : QStringList();
        const QString candidate = candidates.value(0);
        if (candidate.isEmpty() || !fileSys().folderExists(candidate)
            || fileSys().getFolder(candidate).subFolders().size() < 2) {
            ClearView();
            return;
        }
        folder = candidate;
    }
    folder = withSlash(folder);
    PagoraFolder = folder;
    cboPagoraDir->setEditText(folder);
    LoadFolderHistory();

    if (!fileSys().folderExists(PagoraFolder)) {
        showMessage(
            QStringLiteral("Unable To Locate Directory"),
            QStringLiteral("Unable to locate your pagora directory at: ") + PagoraFolder
                + QStringLiteral("\r\n(Do you need to insert a CD?)\r\n\r\nClick Ok when ready."),
            PromptIcon::Question);
        if (!fileSys().folderExists(PagoraFolder)) {
            showMessage(QStringLiteral("Unable To Locate Directory"),
                        QStringLiteral("Still unable to locate pagora directory at: ")
                            + PagoraFolder,
                        PromptIcon::Information);
            ClearView();
            return;
        }
    }

    LoadChapterList(PagoraFolder);
    if (cboChapters->count() == 0)
        return;

    const QString lastChapter = Settings().read(kGeneral, QStringLiteral("LastChapter"), QString());
    int found = 0;
    for (int i = 0; i < cboChapters->count(); ++i)
        if (cboChapters->itemText(i).toUpper() == lastChapter.toUpper()) {
            found = i;
            break;
        }
    const qint16 lastPage = pageFromText(
        Settings().read(kGeneral, QStringLiteral("Lastpage"), QStringLiteral("1")));
    cboChapters->setCurrentIndex(found);
    PageIndex = lastPage;
    ShowPage(PageIndex);
    // A stored page beyond the chapter's end was declined: the number goes
    // back to the page on screen, so caption, buttons and position agree.
    if (PageIndex > PageCount)
        PageIndex = 1;
}

void frmMain::LoadFolderHistory()
{
    {
        const QSignalBlocker quiet(cboPagoraDir);
        cboPagoraDir->clear();
        if (!PagoraFolder.trimmed().isEmpty())
            cboPagoraDir->addItem(PagoraFolder);
        for (const auto &[key, value] : Settings().list(SettingsStore::FolderSection))
            if (key != PagoraFolder)
                cboPagoraDir->addItem(key);
    }
    if (cboPagoraDir->count() > 0)
        selectFolderItem(0);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    FileSystem ownFileSystem;
    if (!ownFileSystem.folderExists(PagoraFolder))
        PagoraFolder.clear();
    SettingsStore &settings = Settings();
    settings.write(kGeneral, QStringLiteral("LastChapter"), cboChapters->currentText());
    settings.write(kGeneral, QStringLiteral("LastPage"), QString::number(PageIndex));
    settings.write(kGeneral, QStringLiteral("ChapterDirectory"), PagoraFolder);
    saveSettings();

    // The temporary pages, then the run's private folder itself.
    if (!AppFolder.isEmpty() && ownFileSystem.folderExists(AppFolder)) {
        for (const FsFile &file : ownFileSystem.files(AppFolder)) {
            const QString name = file.name();
            const QString ext = name.mid(10).toUpper();
            if (name.left(10) == QLatin1String("TempImage.")
                && (ext == QLatin1String("JPG") || ext == QLatin1String("GIF")
                    || ext == QLatin1String("PNG") || ext == QLatin1String("BMP"))) {
                try {
                    ownFileSystem.deleteFile(file.path());
                } catch (const std::exception &) {
                    // Left in place; the shut-down goes on.
                }
            }
        }
    }
    m_runFolder.reset();
}
