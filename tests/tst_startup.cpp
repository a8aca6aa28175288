// Resuming where reading stopped: the start-up, the shut-down, and every way
// of changing folders, on the real window.
#include "ScriptedPrompts.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "app/frmMain.h"
#include "dialogs/frmBrowse.h"
#include "platform/PictureControls.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QtTest>

using namespace SeriesFixtures;

namespace {

// Scripted answers, plus a hook run at the first box: the reader inserting
// the medium while the box is up.
struct PromptsWithHook : ScriptedPrompts {
    std::function<void()> hook;
    PromptResult message(const MessageRequest &request) override
    {
        if (hook)
            std::exchange(hook, nullptr)();
        return ScriptedPrompts::message(request);
    }
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<frmMain> w;
    PromptsWithHook *prompts = nullptr;
    QString root;
    QStringList media;

    QString series(const QString &name, const QStringList &chapters = {"Ch001", "Ch002", "Ch003"})
    {
        const QString folder = root + QLatin1Char('/') + name;
        for (const QString &chapter : chapters)
            makeFolderChapter(folder, chapter, {"p1.jpg", "p2.jpg", "p3.jpg", "p4.jpg", "p5.jpg", "p6.jpg"},
                              QSize(20, 20));
        return folder + QLatin1Char('/');
    }

    void store(const QString &section, const QString &key, const QString &value)
    {
        SettingsStore settings;
        settings.write(section, key, value);
        settings.sync();
    }
    void storePosition(const QString &folder, const QString &chapter, const QString &page)
    {
        store("General", "ChapterDirectory", folder);
        store("General", "LastChapter", chapter);
        store("General", "LastPage", page);
    }
    QString stored(const QString &key) { return SettingsStore().read("General", key, "<missing>"); }

    void start()
    {
        w = std::make_unique<frmMain>();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTRY_VERIFY(w->StartupDone);
    }

    // Types into the folder box and moves the focus on, as a reader does.
    void typeFolder(const QString &text)
    {
        w->cboPagoraDir->setFocus();
        w->cboPagoraDir->setEditText(text);
        w->PicImage->setFocus();
    }
    void pickFolder(int index)
    {
        w->cboPagoraDir->setCurrentIndex(index);
        emit w->cboPagoraDir->activated(index);
    }

    QStringList history() const
    {
        QStringList items;
        for (int i = 0; i < w->cboPagoraDir->count(); ++i)
            items << w->cboPagoraDir->itemText(i);
        return items;
    }
    // The chapter and page shown, as "Ch002 4".
    QString position() const { return w->cboChapters->currentText() + ' ' + QString::number(w->PageIndex); }

    void expectInvalidDirectory()
    {
        QCOMPARE(prompts->shown.size(), 1);
        QCOMPARE(prompts->shown.first().message.title, QStringLiteral("Invalid Directory"));
        QCOMPARE(prompts->shown.first().message.text, QStringLiteral("Please specify a valid directory"));
    }

private slots:
    void init()
    {
        auto owned = std::make_unique<PromptsWithHook>();
        prompts = owned.get();
        Prompts::install(std::move(owned));
        root = TestEnvironment::freshFolder(QStringLiteral("startup"));
        QDir().mkpath(root + QStringLiteral("/config"));
        qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toUtf8());
        media.clear();
        frmMain::RemovableMediaFolders = [this] { return media; };
    }
    void cleanup()
    {
        w.reset();
        Prompts::install(nullptr);
    }

    // A first run opens a removable medium holding two sub-folders or more.
    void firstRun_data()
    {
        QTest::addColumn<QStringList>("chapters"); // on the first medium; none: no medium
        QTest::addColumn<bool>("taken");
        QTest::newRow("no medium: empty view") << QStringList() << false;
        QTest::newRow("one sub-folder") << QStringList{"Ch001"} << false;
        QTest::newRow("two sub-folders") << QStringList{"Ch001", "Ch002"} << true;
    }
    void firstRun()
    {
        QFETCH(QStringList, chapters);
        QFETCH(bool, taken);
        if (!chapters.isEmpty())
            media = {series(QStringLiteral("medium"), chapters), series(QStringLiteral("other"))};
        start();
        QCOMPARE(w->PagoraFolder, taken ? media.first() : QString());
        QCOMPARE(w->cboChapters->count(), taken ? 2 : 0);
        QCOMPARE(w->cboChapters->isEnabled(), taken);
        QCOMPARE(w->RCMenu->isEnabled(), taken);
        QCOMPARE(w->lblPage->text(), taken ? QStringLiteral("Page 1 of 6") : QString());
        QCOMPARE(w->DragAnchorX, -1);
        QVERIFY(prompts->shown.isEmpty());
        if (!taken)
            QCOMPARE(w->cboPagoraDir->count(), 0);
    }

    // A position saved as "chapter^^page": the last one read, restored at
    // start-up, or a history entry, restored when its folder is typed.
    void savedPositionsRestore_data()
    {
        QTest::addColumn<bool>("atStartUp");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("shown");
        QTest::newRow("start-up: as stored") << true << "Ch002^^4" << "Ch002 4";
        QTest::newRow("start-up: chapter matched ignoring case") << true << "ch003^^2" << "Ch003 2";
        QTest::newRow("start-up: page 0 opens page 1") << true << "Ch002^^0" << "Ch002 1";
        QTest::newRow("start-up: not a number opens page 1") << true << "Ch002^^many" << "Ch002 1";
        QTest::newRow("start-up: beyond the chapter, page 1") << true << "Ch002^^40" << "Ch002 1";
        QTest::newRow("start-up: chapter gone, the first") << true << "Ch009^^3" << "Ch001 3";
        QTest::newRow("typed: with the blank") << false << "Ch002^^ 5" << "Ch002 5";
        QTest::newRow("typed: without the blank") << false << "Ch002^^5" << "Ch002 5";
        QTest::newRow("typed: chapter in other case, the first") << false << "ch002^^ 5" << "Ch001 5";
        QTest::newRow("typed: no separator") << false << "Ch002" << "Ch002 1";
        QTest::newRow("typed: page out of range") << false << "Ch002^^ 99999" << "Ch002 1";
    }
    void savedPositionsRestore()
    {
        QFETCH(bool, atStartUp);
        QFETCH(QString, saved);
        QFETCH(QString, shown);
        const QString folder = series(QStringLiteral("books"));
        if (atStartUp) // the folder stored without its final "/"
            storePosition(folder.chopped(1), saved.section("^^", 0, 0), saved.section("^^", 1));
        else
            store("PagoraDirs", folder, saved);
        start();
        if (!atStartUp)
            typeFolder(folder);
        QCOMPARE(w->PagoraFolder, folder);
        QCOMPARE(position(), shown);
        QCOMPARE(w->lblPage->text(), QStringLiteral("Page %1 of 6").arg(shown.section(' ', 1)));
        QVERIFY(prompts->shown.isEmpty());
    }

    void missingFolderAsksOnceForTheMedium_data()
    {
        QTest::addColumn<bool>("inserted");
        QTest::newRow("inserted before OK") << true;
        QTest::newRow("still missing") << false;
    }
    void missingFolderAsksOnceForTheMedium()
    {
        QFETCH(bool, inserted);
        const QString folder = root + QStringLiteral("/cd/comics/");
        storePosition(folder, "Ch002", "2");
        if (inserted)
            prompts->hook = [this] { series(QStringLiteral("cd/comics")); };
        start();
        QCOMPARE(prompts->shown.size(), inserted ? 1 : 2);
        const MessageRequest first = prompts->shown.first().message;
        QCOMPARE(first.title, QStringLiteral("Unable To Locate Directory"));
        QCOMPARE(first.text, QStringLiteral("Unable to locate your pagora directory at: ") + folder
                                 + QStringLiteral("\r\n(Do you need to insert a CD?)\r\n\r\nClick Ok when ready."));
        QCOMPARE(first.icon, PromptIcon::Question);
        QCOMPARE(w->cboChapters->count(), inserted ? 3 : 0);
        QCOMPARE(w->cboChapters->isEnabled(), inserted);
        if (inserted) {
            QCOMPARE(position(), QStringLiteral("Ch002 2"));
        } else {
            const MessageRequest second = prompts->shown[1].message;
            QCOMPARE(second.text, QStringLiteral("Still unable to locate pagora directory at: ") + folder);
            QCOMPARE(second.icon, PromptIcon::Information);
        }
    }

    void laterActivationsChangeNothing()
    {
        store("General", "ChapterDirectory", series(QStringLiteral("books")));
        start();
        w->cboChapters->setCurrentIndex(2);
        store("General", "LastChapter", "Ch001");
        w->Form_Activate();
        QApplication::setActiveWindow(nullptr);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QCOMPARE(w->cboChapters->currentIndex(), 2);
    }

    // The position is written at shut-down (over a stale one), the run's
    // private folder goes, and the next start opens what was kept.
    void shutDown_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<bool>("vanishes");
        QTest::addColumn<QString>("chapter");
        QTest::addColumn<QString>("page");
        QTest::newRow("folder open") << true << false << "Ch002" << "3";
        QTest::newRow("folder vanished: next start is a first run") << true << true << "Ch002" << "3";
        QTest::newRow("no folder") << false << false << "" << "0";
    }
    void shutDown()
    {
        QFETCH(bool, open);
        QFETCH(bool, vanishes);
        QFETCH(QString, chapter);
        QFETCH(QString, page);
        const QString folder = series(QStringLiteral("books"));
        const QString kept = open && !vanishes ? folder : QString();
        if (open)
            store("General", "ChapterDirectory", folder);
        start();
        if (open) {
            w->cboChapters->setCurrentIndex(1);
            w->ShowPage(w->PageIndex = 3);
        }
        const QString runFolder = w->AppFolder;
        QVERIFY(QFile(runFolder + QStringLiteral("TempImage.Png")).open(QIODevice::WriteOnly));
        store("General", "LastPage", "1");
        if (vanishes)
            QVERIFY(QDir(folder).removeRecursively());
        w->close();
        QCOMPARE(QStringList({stored("LastChapter"), stored("LastPage"), stored("ChapterDirectory")}),
                 QStringList({chapter, page, kept}));
        QVERIFY(!QFileInfo::exists(runFolder));
        start();
        QVERIFY(prompts->shown.isEmpty());
        QCOMPARE(w->PagoraFolder, kept);
        QCOMPARE(history(), kept.isEmpty() ? QStringList() : QStringList{kept});
        QCOMPARE(w->cboChapters->isEnabled(), !kept.isEmpty());
    }

    void typingAndPickingFolders()
    {
        const QString a = series(QStringLiteral("a")), b = series(QStringLiteral("b"));
        store("General", "ChapterDirectory", a);
        start();
        // The current folder again, without "/" or with it: nothing changes.
        w->cboChapters->setCurrentIndex(1);
        for (const QString &same : {a.chopped(1), a}) {
            typeFolder(same);
            QCOMPARE(w->cboPagoraDir->currentText(), a);
            QCOMPARE(position(), QStringLiteral("Ch002 1"));
        }
        // A new folder joins the end of the history and opens at its start.
        typeFolder(b.chopped(1));
        QCOMPARE(w->PagoraFolder, b);
        QCOMPARE(history(), (QStringList{a, b}));
        QCOMPARE(position(), QStringLiteral("Ch001 1"));
        w->cboChapters->setCurrentIndex(2);
        w->ShowPage(w->PageIndex = 5);
        // Each folder picked again resumes where it was left.
        pickFolder(0);
        QCOMPARE(w->PagoraFolder, a);
        QCOMPARE(position(), QStringLiteral("Ch002 1"));
        pickFolder(1);
        QCOMPARE(position(), QStringLiteral("Ch003 5"));
        // Picking the current folder changes nothing.
        w->cboChapters->setCurrentIndex(0);
        emit w->cboPagoraDir->activated(1);
        QCOMPARE(w->cboChapters->currentIndex(), 0);
        QVERIFY(prompts->shown.isEmpty());
    }

    void invalidFoldersEmptyTheViewAndKeepTheBox_data()
    {
        QTest::addColumn<QString>("typed"); // empty: the second history item picked once gone
        QTest::newRow("typed, missing") << "/nowhere/";
        QTest::newRow("typed, no chapters") << "/bare/";
        QTest::newRow("picked, vanished") << "";
    }
    void invalidFoldersEmptyTheViewAndKeepTheBox()
    {
        QFETCH(QString, typed);
        QDir().mkpath(root + QStringLiteral("/bare"));
        const QString a = series(QStringLiteral("a")), b = series(QStringLiteral("b"));
        // The current folder is saved too: the history lists it once, first.
        store("PagoraDirs", b, "Ch001^^ 2");
        store("PagoraDirs", a, "Ch001^^ 1");
        store("General", "ChapterDirectory", a);
        start();
        QCOMPARE(history(), (QStringList{a, b}));
        if (typed.isEmpty()) {
            QVERIFY(QDir(b).removeRecursively());
            pickFolder(1);
        } else {
            typeFolder(root + typed);
        }
        expectInvalidDirectory();
        QVERIFY(!w->cboChapters->isEnabled());
        QVERIFY(!w->RCMenu->isEnabled());
        QVERIFY(w->Image1->picture().isNull());
        QCOMPARE(w->cboPagoraDir->currentText(), typed.isEmpty() ? b : root + typed);
        QCOMPARE(history(), (QStringList{a, b}));
    }

    void browsingToAFolder_data()
    {
        QTest::addColumn<bool>("inHistory");
        QTest::newRow("new folder") << false;
        QTest::newRow("already in the history") << true;
    }
    void browsingToAFolder()
    {
        QFETCH(bool, inHistory);
        const QString a = series(QStringLiteral("a")), b = series(QStringLiteral("b"));
        if (inHistory)
            store("PagoraDirs", b, "Ch003^^ 4");
        store("General", "ChapterDirectory", a);
        start();
        QCOMPARE(history().size(), inHistory ? 2 : 1);
        QTimer::singleShot(0, this, [b] {
            auto *dialog = qobject_cast<frmBrowse *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<DirListBox *>(QStringLiteral("Dir1"))->setPath(b);
            dialog->cmdOk_Click();
        });
        w->cmdBrowse_Click();
        QCOMPARE(w->PagoraFolder, b);
        QCOMPARE(history(), (QStringList{a, b}));
        QCOMPARE(w->cboPagoraDir->currentText(), b);
        QCOMPARE(position(), inHistory ? QStringLiteral("Ch003 4") : QStringLiteral("Ch001 1"));
        QVERIFY(w->RCMenu->isEnabled());
    }

    void commandLineFolderOpensAfterStartUp_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::newRow("good folder") << true;
        QTest::newRow("missing folder") << false;
    }
    void commandLineFolderOpensAfterStartUp()
    {
        QFETCH(bool, exists);
        const QString b = series(QStringLiteral("b"));
        store("PagoraDirs", b, "Ch002^^ 3");
        w = std::make_unique<frmMain>();
        w->OpenFolderAfterStartup(exists ? b.chopped(1) : root + QStringLiteral("/missing"));
        w->show();
        QTRY_VERIFY(w->StartupDone);
        QVERIFY(w->isVisible());
        if (exists) {
            QCOMPARE(w->PagoraFolder, b);
            QCOMPARE(position(), QStringLiteral("Ch002 3"));
            QVERIFY(prompts->shown.isEmpty());
        } else {
            expectInvalidDirectory();
        }
    }
};

PAGORA_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
