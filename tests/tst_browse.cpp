// The folder browser: the folder it opens at, the folder OK returns, volumes that cannot open.
#include "ScriptedPrompts.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "dialogs/frmBrowse.h"

#include <QtTest>
#include <QtWidgets>

using WindowFixtures::control;
static QList<FolderTree::Volume> volumeList = {{"/", "File System"}};

struct TestVolumes : FolderTree::VolumeSource { // a volume is ready if it is there, or "vanished"
    QList<FolderTree::Volume> volumes() const override { return volumeList; }
    bool isReady(const QString &r) const override { return r.endsWith("ed/") || QDir(r).exists(); }
};

class TestBrowse : public QObject {
    Q_OBJECT

    QString root;
    std::unique_ptr<frmBrowse> dialog;

    // Opens the dialog at `start` unless null. The highlighted folder as the lines spell it, its
    // sub-folders' lines and the volume; once the dialog ended, its folder ("" when cancelled).
    QString shown(const QString &start = {})
    {
        if (!start.isNull())
            (dialog = std::make_unique<frmBrowse>())->SorvikPath = root + start, dialog->show();
        if (dialog->isHidden())
            return dialog->Cancelled ? "" : dialog->SorvikPath.mid(root.size());
        const QTreeWidgetItem *open = control<QTreeWidget>(*dialog, "Dir1")->currentItem();
        QString text = ":";
        for (int i = 0; i < open->childCount(); ++i)
            text += ' ' + open->child(i)->text(0);
        for (auto *line = open; line; line = line->parent())
            text.prepend(line->parent() ? line->text(0) + '/' : "/");
        return text.mid(root.size()) + ", " + control<QComboBox>(*dialog, "Drive1")->currentText();
    }

private slots:
    void initTestCase()
    {
        root = TestEnvironment::freshFolder("browse") + '/';
        for (const char *folder : {"shelf/Series/beta", "shelf/Series/Beta", "shelf/Series/Gamma",
                                   "shelf/Series/.cache", "shelf2", "shelfish"})
            QDir().mkpath(root + folder);
        for (const QString label : {"Shelf", "Shelf2", "Disc", "Vanished"})
            volumeList.append({root + label.toLower() + '/', label});
        FolderTree::VolumeSource::install(std::make_unique<TestVolumes>());
    }

    // Opening at a start folder, choosing volumes that cannot open and one that can; then, Beta
    // opened by a double-click and Series highlighted, a key on the control that ends it.
    void browsing()
    {
        auto *box = ScriptedPrompts::install();
        const char *series = "shelf/Series/: Beta beta Gamma, Shelf"; // no dot folder, both twins
        QCOMPARE(shown("shelfish"), "shelfish/:, File System");       // not on the volume "shelf/"
        const auto *prompt = control<QLabel>(*dialog, "Label1"); // the prompt wraps to show whole
        QVERIFY(prompt->minimumSizeHint().width() <= prompt->width());
        QCOMPARE(shown("shelf/Series/Gone/Deeper/"), series);       // the nearest ancestor there
        for (const char *volume : {"Disc", "Vanished", "Shelf2"}) { // box for the one not ready
            control<QComboBox>(*dialog, "Drive1")->setCurrentText(volume);
            QCOMPARE(shown(), *volume == 'S' ? "shelf2/:, Shelf2" : series); // taken, not skipped
        }
        QCOMPARE(box->shown.size() == 1 ? box->shown[0].message.title : "", "Drive Unavailable");
        control<DirListBox>(*dialog, "Dir1")->setPath(root + "shelfish"); // the volumes follow
        QCOMPARE(shown(), "shelfish/:, File System");
        for (auto key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Space}) { // Space on Cancel
            shown("shelf/Series/");
            auto *dir = control<QTreeWidget>(*dialog, "Dir1");
            dir->scrollToItem(dir->currentItem()->child(0));
            const QPoint beta = dir->visualItemRect(dir->currentItem()->child(0)).center();
            QTest::mouseClick(dir->viewport(), Qt::LeftButton, {}, beta);  // as the window system
            QTest::mouseDClick(dir->viewport(), Qt::LeftButton, {}, beta); // sends a double-click
            QTest::keyClick(dir, Qt::Key_Up);
            QTest::keyClick(key == ' ' ? control<QWidget>(*dialog, "cmdCancel") : dir, key);
            QCOMPARE(shown(), key == Qt::Key_Return ? "shelf/Series/Beta/" : ""); // OK by default
        }
    }

    // The mounts the volume list offers: "root type offered". Removable media under /run/media
    // stay; pseudo file systems and system areas go.
    void userVolumes()
    {
        for (const QString row :
             {"/ ext4 1", "/home/ ext4 1", "/media/ana/USB vfat 1", "/run/media/ana/DISC iso9660 1",
              "/run/media/ ext4 0", "/run/user/0 ext4 0", "/usr ext4 0", "/mnt/t tmpfs 0"}) {
            const QStringList r = row.split(' ');
            QCOMPARE(FolderTree::isUserVolume(r[0], r[1]), r[2] == "1");
        }
    }
};

PAGORA_TEST_MAIN(TestBrowse)
#include "tst_browse.moc"
