// The folder browser: the folder it opens at, the folder OK returns, volumes that cannot open.
#include "ScriptedPrompts.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "dialogs/frmBrowse.h"

#include <QtTest>
#include <QtWidgets>

using WindowFixtures::control;

struct TestVolumes : FolderTree::VolumeSource { // "vanished" is ready without a root folder
    QList<FolderTree::Volume> list;
    QList<FolderTree::Volume> volumes() const override { return list; }
    bool isReady(const QString &r) const override
    {
        return r.endsWith("/vanished/") || VolumeSource::isReady(r);
    }
};

class TestBrowse : public QObject {
    Q_OBJECT

    QString root;
    std::unique_ptr<frmBrowse> dialog;

    // Opens the dialog at `start` unless null. The open folder as the lines from the root
    // spell it, its sub-folders' lines, and the volume shown.
    QString shown(const QString &start = {})
    {
        if (!start.isNull()) {
            dialog = std::make_unique<frmBrowse>();
            dialog->SorvikPath = root + start;
            dialog->show();
        }
        const QTreeWidgetItem *open = control<QTreeWidget>(*dialog, "Dir1")->currentItem();
        QString text = ":";
        for (int i = 0; i < open->childCount(); ++i)
            text += ' ' + open->child(i)->text(0);
        for (auto *line = open; line; line = line->parent())
            text.prepend(line->parent() ? line->text(0) + '/' : "/");
        return text + ", " + control<QComboBox>(*dialog, "Drive1")->currentText();
    }

private slots:
    void init()
    {
        root = TestEnvironment::freshFolder("browse") + '/';
        for (const char *folder :
             {"shelf/Series/Alpha", "shelf/Series/beta", "shelf/Series/Gamma",
              "shelf/Series/.cache", "shelf/Comics", "shelf/comics", "shelf2", "shelfish"})
            QDir().mkpath(root + folder);
        auto source = std::make_unique<TestVolumes>();
        source->list = {{"/", "File System"}};
        for (const QString label : {"Shelf", "Shelf2", "Disc", "Vanished"})
            source->list.append({root + label.toLower() + '/', label});
        FolderTree::VolumeSource::install(std::move(source));
    }
    void cleanup() { dialog.reset(), FolderTree::VolumeSource::install(nullptr); }

    // Dot folders hidden, twins in two cases both shown, a missing start opens at its nearest
    // ancestor, and a folder merely sharing a volume's prefix is not on that volume.
    void opensAtTheStartFolder()
    {
        QCOMPARE(shown("shelf/Series"), root + "shelf/Series/: Alpha beta Gamma, Shelf");
        QCOMPARE(shown("shelf/Series/Gone/Deeper/"), shown("shelf/Series/"));
        QCOMPARE(shown("shelf/"), root + "shelf/: Comics comics Series, Shelf");
        QCOMPARE(shown("shelfish"), root + "shelfish/:, File System");
    }

    // With beta highlighted (a click) or opened (a double-click), the key on the control that
    // ends the dialog, and the folder it returns ("" when cancelled).
    void endingTheDialog()
    {
        for (auto [opened, target, key, chosen] :
             {std::tuple(false, "cmdOk", Qt::Key_Space, "shelf/Series/"),
              {true, "Dir1", Qt::Key_Return, "shelf/Series/beta/"},
              {true, "Dir1", Qt::Key_Escape, ""},
              {false, "cmdCancel", Qt::Key_Space, ""}}) {
            shown("shelf/Series/");
            auto *list = control<QTreeWidget>(*dialog, "Dir1");
            QTreeWidgetItem *beta = list->currentItem()->child(1);
            list->scrollToItem(beta);
            const QPoint centre = list->visualItemRect(beta).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
            if (opened) // as the window system delivers it: press, release, double-click
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
            QCOMPARE(list->currentItem()->text(0), "beta");
            QTest::keyClick(control<QWidget>(*dialog, target), key);
            QCOMPARE(dialog->isVisible() ? "shown"
                     : dialog->Cancelled ? ""
                                         : dialog->SorvikPath,
                     *chosen ? root + chosen : "");
        }
    }

    // Back to the open folder's volume, with the box when it is not ready; the next choice
    // is the user's again, not taken for the echo of that change.
    void volumeThatCannotOpenPutsTheListBack()
    {
        for (auto [volume, boxes] : {std::pair("Disc", 1), {"Vanished", 0}}) {
            auto *prompts = ScriptedPrompts::install();
            const QString before = shown("shelf/Series/");
            auto *volumes = control<QComboBox>(*dialog, "Drive1");
            volumes->setCurrentIndex(volumes->findText(volume));
            QCOMPARE(shown(), before);
            volumes->setCurrentIndex(volumes->findText("Shelf2"));
            QCOMPARE(shown(), root + "shelf2/:, Shelf2");
            QCOMPARE(prompts->shown.size(), boxes);
            QVERIFY(!boxes || prompts->shown[0].message.text.startsWith("The requested drive is "));
        }
    }
};

PAGORA_TEST_MAIN(TestBrowse)
#include "tst_browse.moc"
