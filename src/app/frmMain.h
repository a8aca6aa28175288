#pragma once

#include "app/ViewerTypes.h"
#include "app/WindowLayout.h"
#include "catalogue/Spreads.h"
#include "imaging/PageImages.h"
#include "imaging/PageSizing.h"
#include "imaging/PictureLoader.h"

#include <QImage>
#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QDropEvent;
class QScrollBar;
class QWheelEvent;
class FileSystem;
class FsFile;
class FsFolder;
class ImageControl;
class PictureBox;
class PrivateRunFolder;
class SettingsStore;

// The main window. It owns the whole run: its members below are the viewer
// state, and every user action arrives as one of its handlers. The code is
// split by concern over frmMain_*.cpp.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // Opens a folder as if it had been typed into the box: after the
    // start-up when it has not run yet, at once when it has.
    void OpenFolderAfterStartup(const QString &folder);

    // Folders that may hold a series on a removable medium, in the order to
    // try; the first one is the first-run candidate. Tests replace it.
    static std::function<QStringList()> RemovableMediaFolders;

    // What the window shows now, read-only.
    struct View {
        QString folder;  // the series folder, ends with "/" when not empty
        QString chapter; // as the chapter list shows it
        qint16 page = 0; // 1-based; 0: no page shown
        qint16 pageCount = 0;
        double zoom = 1.0;
        bool zipChapter = false;
        bool pngPage = false; // drawn through the PNG route
        QString runFolder;    // this run's private folder, ends with "/"
    };
    View view() const;

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // ---- Viewer state ----
    std::unique_ptr<FileSystem> FileSys; // created on first use
    QString PagoraFolder;                // ends with "/" when not empty
    qint16 PageIndex = 0;                // 1-based; 0 or less: no page shown
    qint16 PageCount = 0;
    std::unique_ptr<FsFolder> ChapterFolder; // the current chapter's folder, if a folder
    std::unique_ptr<QList<FsFile>> ChapterFiles;
    QStringList PageNames;
    QStringList ChapterNames;
    WindowLayout::Design LayoutDesign; // the window and its controls at load
    qint32 DragAnchorX = 0;            // -1: no drag in progress
    qint32 DragAnchorY = 0;
    double ZoomFactor = 0.0;
    Bool16 IsPngPage = kFalse16;
    Bool16 IsZipChapter = kFalse16;
    QString AppFolder; // private folder of this run, ends with "/"
    bool StartupDone = false;

    // ---- Controls, from back to front ----
    //  +-Picture1 (top panel)----------------------------------------------+
    //  | Label1        [cmdBrowse]  Label2     chkFitToWindow   lblPage        |
    //  | [cboPagoraDir          ]   [cboChapters          ]  [<<][<][>][>>]  |
    //  +-------------------------------------------------------------------+
    //  +-PicImage (viewport)----------------------------------------------+-+
    //  | Image1: the page as shown; Image2 hidden                         |v|
    //  +-hsImage----------------------------------------------------------+-+
    //                                               Picture2 (hidden) in the corner
    PictureBox *Picture2 = nullptr; // hidden: measures and holds a PNG page
    PictureBox *PicImage = nullptr; // the viewport the page scrolls in
    ImageControl *Image2 = nullptr; // hidden: measures a page's natural size
    ImageControl *Image1 = nullptr; // the page as shown, stretched to its display size
    PictureBox *Picture1 = nullptr; // the top panel of folder, chapter and page controls
    QComboBox *cboPagoraDir = nullptr;
    QPushButton *cmdBrowse = nullptr;
    std::array<QPushButton *, 4> cmdNavigate{};
    QComboBox *cboChapters = nullptr;
    QCheckBox *chkFitToWindow = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *lblPage = nullptr;
    QScrollBar *hsImage = nullptr;
    QScrollBar *vsImage = nullptr;

    // ---- Menus ----
    QMenu *mnuFile = nullptr;
    QAction *mnuExit = nullptr;
    QMenu *mnuView = nullptr;
    QAction *mnuFitToWindow = nullptr;
    QAction *mnuFitWidth = nullptr;
    QAction *mnuFitHeight = nullptr;
    QAction *mnuViewBar1 = nullptr;
    QAction *mnuZoomIn = nullptr;
    QAction *mnuZoomOut = nullptr;
    QAction *mnuNoZoom = nullptr;
    QAction *mnuViewBar2 = nullptr;
    QAction *mnuTwoPages = nullptr;
    QAction *mnuRightToLeft = nullptr;
    QAction *mnuViewBar3 = nullptr;
    QAction *mnuFullScreen = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuHelpBasic = nullptr;
    QAction *mnuHelpBar1 = nullptr;
    QAction *mnuHelpAbout = nullptr;
    QMenu *RCMenu = nullptr;
    QAction *rcmnuNextPage = nullptr;
    QAction *rcmnuPreviousPage = nullptr;
    QAction *rcmnuBar1 = nullptr;
    QAction *rcmnuNextChapter = nullptr;
    QAction *rcmnuPreviousChapter = nullptr;
    QAction *rcmnuBar2 = nullptr;
    QAction *rcmnuZoomIn = nullptr;
    QAction *rcmnuZoomOut = nullptr;
    QAction *rcmnuNoZoom = nullptr;
    QAction *rcmnuFitToWindow = nullptr;

    // ---- Handlers and procedures ----
    void Form_Load();
    void Form_Activate();
    void Form_Unload();
    void LoadFolderHistory();
    void cboPagoraDir_Click();
    void cboPagoraDir_Validate();
    void cmdBrowse_Click();
    void Form_Resize();
    void Form_KeyDown(qint16 &KeyCode, qint16 Shift);
    void hsImage_Change();
    void vsImage_Change();
    void mnuExit_Click();

    // Chapters and pages.
    void GetChapterNames(const QString &FolderPath);
    QStringList chapterEntriesOf(const QString &FolderPath);
    bool hasChapters(const QString &FolderPath);
    void LoadChapterList(const QString &FolderPath);
    void cboChapters_Click();
    void BuildFolderPageList();
    void BuildZipPageList(const QString &ChapterName);
    // Leaves the page's temporary file and returns its extension ("" when it
    // could not be read); PageBytes, when given, gets the bytes read.
    QString ExtractZipPage(const QString &MemberName, QByteArray *PageBytes = nullptr);

    // Zoom and fit.
    void ZoomPage(double Step);
    void mnuZoomIn_Click();
    void mnuZoomOut_Click();
    void mnuNoZoom_Click();
    void chkFitToWindow_Click();
    void mnuFitToWindow_Click();
    void mnuFitWidth_Click();
    void mnuFitHeight_Click();
    // Fit Width or Fit Height chosen from the menu; `other` is the one not chosen.
    void fitModeChosen(const QAction *chosen, QAction *other);
    PageSizing::Fit fitMode() const;
    // The viewport as ShowPage sizes a page against it: with no bar shown.
    PageSizing::Viewport viewport() const;

    // Commands.
    void cmdNavigate_Click(qint16 Index);
    void rcmnuNextPage_Click();
    void rcmnuPreviousPage_Click();
    void rcmnuNextChapter_Click();
    void rcmnuPreviousChapter_Click();
    void mnuHelpBasic_Click();
    void mnuHelpAbout_Click();

    // Dragging the page and the pop-up menu; X and Y in twips on Image1.
    void Image1_MouseDown(int Button, int Shift, float X, float Y);
    void Image1_MouseMove(int Button, int Shift, float X, float Y);
    void Image1_MouseUp(int Button, int Shift, float X, float Y);

    // Beyond the reading basics: the wheel over the page, full screen, and
    // folders or archive chapters dropped on the window.
    void PicImage_Wheel(const QWheelEvent &event);
    void mnuFullScreen_Click();
    void leaveFullScreen();
    // A drag event (enter, move or drop) of this window.
    bool previewDrag(QDropEvent *drag);
    void openDroppedPath(const QString &path);

    // Two pages side by side, in either order, remembered per folder.
    void mnuTwoPages_Click();
    void mnuRightToLeft_Click();
    void adoptFolderModes();
    void storeFolderModes();
    // The spread holding 1-based `page`: its first page and how many it holds.
    Spreads::Spread spreadAt(qint16 page);
    // The sizes of pages from..to-1 (0-based) from their headers.
    QList<QSize> chapterPageSizes(int from, int to);
    PageSource pageSource(qint16 page) const;

    // Shows page PageNumber of the current chapter; every caller passes PageIndex.
    void ShowPage(qint16 &PageNumber);
    void ClearView();

    // The per-user settings (last folder, chapter, page; a position per folder).
    SettingsStore &Settings();

    void createControls();
    void createMenus();
    void setTabOrder();
    FileSystem &fileSys();
    void connectCommands();
    bool focusIn(const QWidget *control) const;
    void nextPage();
    void previousPage();
    bool hasNextChapter() const;
    bool hasPreviousChapter() const;
    void nextChapter();
    void previousChapter();
    void forwardMouse(QMouseEvent *event, void (frmMain::*handler)(int, int, float, float));
    void runStartup();
    bool haveRunFolder(const QString &memberName);
    void saveSettings();
    void openFolderArgument(const QString &folder);
    void restoreSavedPosition(const QString &saved);
    void selectFolderItem(int index);
    void selectChapter(int index);
    void selectFirstChapter();
    void openChapterControls();
    void showInvalidDirectory();
    bool listChaptersOrRefuse();
    void onFocusChanged(QWidget *old, QWidget *now);
    bool settleFolderBox();
    bool folderUnchanged(const QString &path) const;

    // Pieces of ShowPage.
    void setNavigationFor(qint16 first, qint16 last);
    // A page read and decoded for showing, or nullopt when it failed and
    // the reader was told.
    struct LoadedPage {
        PageSource source;
        PagePicture picture;
        QByteArray file;
        bool png = false;
    };
    std::optional<LoadedPage> loadPage(qint16 page, const ShownSize &reduceTo);
    std::optional<LoadedPage> loadSpreadPage(qint16 page);
    void showPicture(const LoadedPage &page);
    void showSpread(const LoadedPage &first, const LoadedPage &second);
    // Sizes Image1 for the natural size measured, and arranges the bars;
    // false when there is nothing to show.
    bool sizeShownPage();
    void finishShowing();
    void decodeSpreadsAhead(qint16 shown, const ShownSize &display);
    void measureNaturalSize(const PagePicture &picture);
    ShownSize pageDisplaySize() const;
    void decodeAheadFrom(qint16 shown);
    void arrangeScrollBars();
    void hideVerticalBar();
    void hideHorizontalBar();
    void saveReadingPosition();
    void reportPageFailure(int errorNumber, const QString &description, const QString &memberName);

    // Two Pages: the chapter's spreads as far as its page sizes are read; the
    // folder whose modes are in effect; and the pages on screen.
    QList<Spreads::Spread> m_spreads;
    QList<QSize> m_pageSizes;
    bool m_spreadsMade = false;
    QString m_modesFolder;
    qint16 m_pagesShown = 1;
    // A page of a spread that failed, told once while that spread stays shown.
    QString m_spreadFailureTold;

    // The pictures of the page shown and of the pages decoded ahead.
    PageImages *m_pages = nullptr;

    // ClearView emptied the view: PagoraFolder is no longer shown, so
    // choosing it again opens it rather than finding nothing changed.
    bool m_viewEmptied = false;
    bool m_resizing = false; // inside a resize event
    QMetaObject::Connection m_focusWatch;
    bool m_toldSettingsNotSaved = false;
    // Counts the folder changes and emptied views, so a command can tell
    // that the folder box's validation changed what it was about to show.
    quint64 m_viewChanges = 0;

    // Wheel turns short of a whole notch (120), kept for the next turn.
    QPoint m_wheelRest;
    bool m_maximisedBeforeFullScreen = false;

    std::unique_ptr<PrivateRunFolder> m_runFolder;
    QString m_folderAfterStartup;
    bool m_unloaded = false;
    std::unique_ptr<SettingsStore> m_settings;
};
