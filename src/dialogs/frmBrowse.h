#pragma once

#include "dialogs/FolderTree.h"
#include "platform/FileSystem.h"

#include <QDialog>
#include <QTreeWidget>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;

// The directory list: the open folder with its ancestors above it and its
// sub-folders indented below. Double-clicking a line opens that folder; a
// single click only highlights it, so path() stays the open folder.
class DirListBox : public QTreeWidget {
    Q_OBJECT

public:
    explicit DirListBox(QWidget *parent = nullptr);

    // The volumes whose readiness decides whether a folder can be opened.
    void setVolumes(const QList<FolderTree::Volume> &volumes);

    // The open folder, ending with "/".
    QString path() const { return m_path; }
    // Opens a folder. Throws PlatformError, leaving the list as it was:
    // ErrorNumber::DeviceUnavailable when the volume holding it is not ready,
    // PathNotFound when there is no such folder (or the path is relative).
    void setPath(const QString &path);
    bool canOpen(const QString &path) const;

    // The folder a line stands for.
    static QString pathOf(const QTreeWidgetItem *item);

signals:
    void pathChanged(const QString &path);

protected:
    void drawBranches(QPainter *painter, const QRect &rect,
                      const QModelIndex &index) const override;

private:
    int failureFor(const QString &folder) const;
    void openLine(QTreeWidgetItem *item);

    FileSystem m_fileSystem;
    QList<FolderTree::Volume> m_volumes;
    QString m_path;
};

// Chooses a pagora folder by volume and folder. The caller sets SorvikPath,
// shows the dialog modally and reads Cancelled and SorvikPath afterwards.
class frmBrowse : public QDialog {
    Q_OBJECT

public:
    explicit frmBrowse(QWidget *parent = nullptr);

    // The whole exchange in one call: the folder chosen with OK (ending with
    // "/"), or nothing when the dialog was cancelled or closed.
    static std::optional<QString> chooseFolder(QWidget *parent, const QString &startFolder);

    // True unless OK was pressed.
    bool Cancelled = true;
    // In: the folder to start in (may be empty). Out: the open folder on OK.
    QString SorvikPath;

    void Form_Load();
    // Positions both lists at SorvikPath; runs on the first showing only.
    void Form_Activate();
    void Drive1_Change();
    void cmdOk_Click();
    void cmdCancel_Click();

    // Esc, and the close box through QDialog's closeEvent.
    void reject() override;

    QLabel *Label1 = nullptr;
    QComboBox *Drive1 = nullptr;
    DirListBox *Dir1 = nullptr;
    QPushButton *cmdOk = nullptr;
    QPushButton *cmdCancel = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void createControls();
    void showDefaults();
    void showVolumeOf(const QString &folder);

    QList<FolderTree::Volume> m_volumes;
    bool m_activated = false;
    // Set while the volume list is put back after a failed change, so that
    // change is not taken for the user's.
    bool m_skipDriveChange = false;
};
