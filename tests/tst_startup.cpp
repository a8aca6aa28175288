// Resuming where reading stopped: start-up, shut-down and every way of changing folders.
#include "ScriptedPrompts.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "app/frmMain.h"
#include "dialogs/frmBrowse.h"
#include "platform/PictureControls.h"
#include "settings/SettingsStore.h"

#include <QtTest>
#include <QtWidgets>

// Scripted answers, plus a hook run at the first box: the medium inserted while it is up.
struct PromptsWithHook : ScriptedPrompts {
    std::function<void()> hook;
    PromptResult message(const MessageRequest &request) override
    {
        if (hook)
            std::exchange(hook, nullptr)();
        return ScriptedPrompts::message(request);
    }
};

class TestStartup : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> w;
    PromptsWithHook *prompts = nullptr;
    QString root;
    QStringList media;

    // Three chapters of six pages unless told; the folder with its final "/".
    QString series(const QString &name, const QStringList &chapters = {"Ch001", "Ch002", "Ch003"})
    {
        for (const QString &chapter : chapters)
            SeriesFixtures::makeFolderChapter(root + '/' + name, chapter,
                                              {"1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.jpg", "6.jpg"}, {20, 20});
        return root + '/' + name + '/';
    }
    void store(const QString &section, const QList<QPair<QString, QString>> &values)
    {
        SettingsStore settings;
        for (const auto &[key, value] : values)
            settings.write(section, key, value);
        settings.sync();
    }
    void startIn(const QString &folder, const QString &commandLine = QString())
    {
        store("General", {{"ChapterDirectory", folder}}), start(commandLine);
    }
    QString stored(const QString &key) { return SettingsStore().read("General", key, "<missing>"); }

    void start(const QString &commandLine = QString())
    {
        w = std::make_unique<frmMain>();
        if (!commandLine.isEmpty())
            w->OpenFolderAfterStartup(commandLine);
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTRY_VERIFY(w->StartupDone);
    }
    // Types into the folder box and moves the focus on, as a reader does.
    void typeFolder(const QString &text)
    {
        w->cboPagoraDir->setFocus(), w->cboPagoraDir->setEditText(text), w->PicImage->setFocus();
    }
    // Types key by key, as a reader does, so the box's own completion would run.
    void typeKeys(const QString &text)
    {
        w->cboPagoraDir->setFocus(), w->cboPagoraDir->lineEdit()->selectAll();
        QTest::keyClicks(w->cboPagoraDir->lineEdit(), text);
    }
    // Opens the folder in the browser dialog, then presses OK (or Cancel).
    void browseTo(const QString &folder, bool ok = true)
    {
        QTimer::singleShot(0, this, [folder, ok] {
            auto *dialog = qobject_cast<frmBrowse *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->Dir1->setPath(folder);
            QTest::mouseClick(ok ? dialog->cmdOk : dialog->cmdCancel, Qt::LeftButton);
        });
        w->cmdBrowse_Click();
    }
    QStringList savedFolders() const
    {
        QStringList keys;
        for (const auto &[key, value] : SettingsStore().list("PagoraDirs"))
            keys << key;
        return keys;
    }
    void pickFolder(int index) { w->cboPagoraDir->setCurrentIndex(index), emit w->cboPagoraDir->activated(index); }
    void goTo(int chapter, int page) { w->cboChapters->setCurrentIndex(chapter), w->ShowPage(w->PageIndex = page); }
    QStringList history() const
    {
        QStringList items;
        for (int i = 0; i < w->cboPagoraDir->count(); ++i)
            items << w->cboPagoraDir->itemText(i);
        return items;
    }
    // The chapter and page shown, as "Ch002 4".
    QString position() const { return w->cboChapters->currentText() + ' ' + QString::number(w->PageIndex); }
    // The boxes shown, as "title: text".
    QStringList boxes() const
    {
        QStringList seen;
        for (const auto &shown : prompts->shown)
            seen << shown.message.title + ": " + shown.message.text;
        return seen;
    }
    // A table of one column, true in the first row.
    static void yesNo(const char *column, const char *yes, const char *no)
    {
        QTest::addColumn<bool>(column);
        QTest::newRow(yes) << true;
        QTest::newRow(no) << false;
    }

private slots:
    void init()
    {
        Prompts::install(std::unique_ptr<Prompts>(prompts = new PromptsWithHook));
        root = TestEnvironment::freshFolder("startup");
        qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
        frmMain::RemovableMediaFolders = [this] { return media; };
    }
    void cleanup() { w.reset(), Prompts::install(nullptr), media.clear(); }

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
            media = {series("medium", chapters), series("other")};
        start();
        QCOMPARE(history(), taken ? QStringList{media.first()} : QStringList());
        QCOMPARE(w->cboChapters->count(), taken ? 2 : 0);
        QCOMPARE(std::pair(w->cboChapters->isEnabled(), w->RCMenu->isEnabled()), std::pair(taken, taken));
        QCOMPARE(w->PagoraFolder + ' ' + w->lblPage->text(), taken ? media.first() + " Page 1 of 6" : " ");
        QCOMPARE(boxes(), QStringList());
    }

    // A position saved as "chapter^^page": the last one read, restored at start-up from a folder
    // stored without its final "/", or a history entry, restored when its folder is typed.
    void savedPositionsRestore_data()
    {
        QTest::addColumn<bool>("atStartUp");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("shown");
        QTest::newRow("start-up: chapter matched ignoring case") << true << "ch003^^2" << "Ch003 2";
        QTest::newRow("start-up: page 0 opens page 1") << true << "Ch002^^0" << "Ch002 1";
        QTest::newRow("start-up: beyond the chapter, page 1") << true << "Ch002^^40" << "Ch002 1";
        QTest::newRow("typed: with the blank") << false << "Ch002^^ 5" << "Ch002 5";
        QTest::newRow("typed: without the blank") << false << "Ch002^^5" << "Ch002 5";
        QTest::newRow("typed: a plus sign") << false << "Ch002^^ +5" << "Ch002 5";
        QTest::newRow("typed: chapter in other case, the first") << false << "ch002^^ 5" << "Ch001 5";
        QTest::newRow("typed: the mark in the chapter's name") << false << "Ch004^^ 7^^ 3" << "Ch004^^ 7 3";
    }
    void savedPositionsRestore()
    {
        QFETCH(bool, atStartUp);
        QFETCH(QString, saved);
        QFETCH(QString, shown);
        const QString folder = series("books", {"Ch001", "Ch002", "Ch003", "Ch004^^ 7"});
        if (atStartUp)
            store("General", {{"ChapterDirectory", folder.chopped(1)}, {"LastChapter", saved.section("^^", 0, 0)},
                              {"LastPage", saved.section("^^", 1)}});
        else
            store("PagoraDirs", {{folder, saved}});
        start();
        if (!atStartUp)
            typeFolder(folder);
        QCOMPARE(w->PagoraFolder + ' ' + position(), folder + ' ' + shown);
        QCOMPARE(w->lblPage->text(), "Page " + shown.section(' ', -1) + " of 6");
        QCOMPARE(boxes(), QStringList());
    }

    void missingFolderAsksOnceForTheMedium_data() { yesNo("inserted", "inserted before OK", "still missing"); }
    void missingFolderAsksOnceForTheMedium()
    {
        QFETCH(bool, inserted);
        const QString folder = root + "/cd/comics/";
        store("General", {{"ChapterDirectory", folder}, {"LastChapter", "Ch002"}, {"LastPage", "2"}});
        if (inserted)
            prompts->hook = [this] { series("cd/comics"); };
        start();
        QStringList expected{"Unable To Locate Directory: Unable to locate your pagora directory at: " + folder
                             + "\r\n(Do you need to insert a CD?)\r\n\r\nClick Ok when ready."};
        if (!inserted)
            expected << "Unable To Locate Directory: Still unable to locate pagora directory at: " + folder;
        QCOMPARE(boxes(), expected);
        QCOMPARE(prompts->shown.last().message.icon, inserted ? PromptIcon::Question : PromptIcon::Information);
        QCOMPARE(w->cboChapters->isEnabled(), inserted);
        QCOMPARE(position(), inserted ? "Ch002 2" : " 0");
    }

    // The position is written at shut-down (over a stale one), the run's
    // private folder goes, and the next start opens what was kept.
    void shutDown_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<bool>("vanishes");
        QTest::addColumn<QStringList>("written"); // LastChapter, LastPage; ChapterDirectory follows
        QTest::newRow("folder open") << true << false << QStringList{"Ch002", "3"};
        QTest::newRow("folder vanished: next start is a first run") << true << true << QStringList{"Ch002", "3"};
        QTest::newRow("no folder") << false << false << QStringList{"", "0"};
    }
    void shutDown()
    {
        QFETCH(bool, open);
        QFETCH(bool, vanishes);
        QFETCH(QStringList, written);
        const QString folder = series("books"), kept = open && !vanishes ? folder : QString();
        open ? startIn(folder) : start();
        if (open)
            goTo(1, 3);
        const QString runFolder = w->AppFolder;
        QVERIFY(QFile(runFolder + "TempImage.Png").open(QIODevice::WriteOnly));
        store("General", {{"LastPage", "1"}});
        QVERIFY(!vanishes || QDir(folder).removeRecursively());
        w->close();
        QCOMPARE((QStringList{stored("LastChapter"), stored("LastPage"), stored("ChapterDirectory")}), written << kept);
        QVERIFY(!QFileInfo::exists(runFolder));
        start();
        QCOMPARE(boxes(), QStringList());
        QCOMPARE(w->PagoraFolder, kept);
        QCOMPARE(history(), kept.isEmpty() ? QStringList() : QStringList{kept});
    }

    void typingAndPickingFolders()
    {
        const QString a = series("a"), b = series("b");
        startIn(a);
        // The current folder again, without "/" or with it: nothing changes.
        w->cboChapters->setCurrentIndex(1);
        for (const QString &same : {a.chopped(1), a}) {
            typeFolder(same);
            QCOMPARE(w->cboPagoraDir->currentText() + ' ' + position(), a + " Ch002 1");
        }
        // A new folder joins the end of the history and opens at its start.
        typeFolder(b.chopped(1));
        QCOMPARE(w->PagoraFolder + ' ' + position(), b + " Ch001 1");
        QCOMPARE(history(), (QStringList{a, b}));
        goTo(2, 5);
        // Each folder picked again resumes where it was left.
        pickFolder(0);
        QCOMPARE(w->PagoraFolder + ' ' + position(), a + " Ch002 1");
        pickFolder(1);
        QCOMPARE(position(), "Ch003 5");
        // Picking the current folder changes nothing, nor does a later activation.
        w->cboChapters->setCurrentIndex(0);
        emit w->cboPagoraDir->activated(1);
        store("General", {{"LastChapter", "Ch002"}});
        w->Form_Activate();
        QCOMPARE(w->cboChapters->currentIndex(), 0);
        QCOMPARE(boxes(), QStringList());
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
        QDir().mkpath(root + "/bare");
        const QString a = series("a"), b = series("b");
        // The current folder is saved too: the history lists it once, first.
        store("PagoraDirs", {{b, "Ch001^^ 2"}, {a, "Ch001^^ 1"}});
        startIn(a);
        QVERIFY(!typed.isEmpty() || QDir(b).removeRecursively());
        typed.isEmpty() ? pickFolder(1) : typeFolder(root + typed);
        QCOMPARE(boxes(), QStringList{"Invalid Directory: Please specify a valid directory"});
        QVERIFY(!w->cboChapters->isEnabled() && !w->RCMenu->isEnabled() && w->Image1->picture().isNull());
        QCOMPARE(w->cboPagoraDir->currentText(), typed.isEmpty() ? b : root + typed);
        QCOMPARE(history(), (QStringList{a, b}));
    }

    void typedFolderIsTakenAsTyped()
    {
        // The history holds ".../AB/"; typing ".../A" must open A, and Enter
        // on a text that matches a history item only without regard to case
        // picks nothing.
        const QString a = series("A"), ab = series("AB");
        store("PagoraDirs", {{ab, "Ch002^^ 3"}});
        startIn(series("start"));
        typeKeys(a.chopped(1));
        QCOMPARE(w->cboPagoraDir->lineEdit()->text(), a.chopped(1));
        w->PicImage->setFocus();
        QCOMPARE(w->PagoraFolder + ' ' + position(), a + " Ch001 1");
        typeKeys(root + "/ab/");
        QTest::keyClick(w->cboPagoraDir->lineEdit(), Qt::Key_Return);
        QCOMPARE(w->PagoraFolder, a);
        QCOMPARE(w->cboPagoraDir->currentText(), root + "/ab/");
        // Enter on the exact text of a history item picks it.
        typeKeys(ab);
        QTest::keyClick(w->cboPagoraDir->lineEdit(), Qt::Key_Return);
        QCOMPARE(w->PagoraFolder + ' ' + position(), ab + " Ch002 3");
        QCOMPARE(boxes(), QStringList());
    }

    void pageKeyWithAnEditedFolderBoxKeepsThePlace_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("folder"); // the folder shown afterwards, "" for none
        QTest::addColumn<QString>("shown");  // its chapter and page
        QTest::newRow("half-typed path") << "/half/typ" << "" << " 2";
        QTest::newRow("blanked box") << "" << "a" << " 2";
        QTest::newRow("another series") << "b" << "b" << "Ch001 1";
        QTest::newRow("the same folder") << "a" << "a" << "Ch002 3";
    }
    void pageKeyWithAnEditedFolderBoxKeepsThePlace()
    {
        QFETCH(QString, typed);
        QFETCH(QString, folder);
        QFETCH(QString, shown);
        const QString a = series("a"), b = series("b");
        startIn(a);
        goTo(1, 2);
        const QString text = typed.startsWith('/') ? typed : typed.isEmpty() ? "" : root + '/' + typed;
        typeKeys(text);
        if (text.isEmpty())
            w->cboPagoraDir->lineEdit()->clear();
        QTest::keyClick(w->cboPagoraDir->lineEdit(), Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(w->PagoraFolder, folder.isEmpty() ? QString() : root + '/' + folder + '/');
        QCOMPARE(position(), shown);
        QCOMPARE(boxes(), typed.startsWith('/') ? QStringList{"Invalid Directory: Please specify a valid directory"}
                                                : QStringList());
        // Saved only under folders that were shown, and the last place survives.
        for (const QString &saved : savedFolders())
            QVERIFY2(saved == a || saved == b, qPrintable(saved));
        const QString last = shown.trimmed().contains(' ') ? shown : "Ch002 2";
        QCOMPARE(stored("ChapterDirectory") + ' ' + stored("LastChapter") + ' ' + stored("LastPage"),
                 (folder == "b" ? b : a) + ' ' + last);
    }

    void sameFolderOpensAgainAfterBlanking_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("typed") << "typed";
        QTest::newRow("picked") << "picked";
        QTest::newRow("browsed") << "browsed";
    }
    void sameFolderOpensAgainAfterBlanking()
    {
        QFETCH(QString, way);
        const QString a = series("a");
        startIn(a);
        goTo(2, 4);
        typeFolder("");
        QVERIFY(!w->cboChapters->isEnabled() && w->Image1->picture().isNull());
        QCOMPARE(w->PagoraFolder, a);
        if (way == "typed")
            typeFolder(a);
        else if (way == "picked")
            pickFolder(0);
        else
            browseTo(a);
        QCOMPARE(w->PagoraFolder + ' ' + position(), a + " Ch003 4");
        QVERIFY(w->cboChapters->isEnabled() && w->RCMenu->isEnabled() && !w->Image1->picture().isNull());
        QCOMPARE(history(), QStringList{a});
        QCOMPARE(boxes(), QStringList());
        // Shown again, the same folder once more changes nothing.
        goTo(0, 2);
        way == "browsed" ? browseTo(a) : typeFolder(a);
        QCOMPARE(position(), "Ch001 2");
    }

    void browsingToAFolder_data() { yesNo("inHistory", "already in the history", "new folder"); }
    void browsingToAFolder()
    {
        QFETCH(bool, inHistory);
        const QString a = series("a"), b = series("b");
        if (inHistory)
            store("PagoraDirs", {{b, "Ch003^^ 4"}});
        startIn(a);
        browseTo(b);
        QCOMPARE(w->PagoraFolder + ' ' + position(), b + (inHistory ? " Ch003 4" : " Ch001 1"));
        QCOMPARE(history(), (QStringList{a, b}));
        QCOMPARE(w->cboPagoraDir->currentText(), b);
        QVERIFY(w->RCMenu->isEnabled());
    }

    void commandLineFolderOpensAfterStartUp_data()
    {
        QTest::addColumn<QString>("argument"); // under the test's root
        QTest::addColumn<bool>("opens");
        QTest::newRow("good folder") << "b" << true;
        QTest::newRow("missing folder") << "missing" << false;
        QTest::newRow("folder without chapters") << "b/Ch001" << false;
        QTest::newRow("a file") << "b/Ch001/1.jpg" << false;
    }
    void commandLineFolderOpensAfterStartUp()
    {
        QFETCH(QString, argument);
        QFETCH(bool, opens);
        const QString a = series("a"), b = series("b");
        store("PagoraDirs", {{b, "Ch002^^ 3"}});
        store("General", {{"LastChapter", "Ch003"}, {"Lastpage", "4"}});
        startIn(a, root + '/' + argument);
        QCOMPARE(boxes(), opens ? QStringList() : QStringList{"Invalid Directory: Please specify a valid directory"});
        // A folder that cannot be used leaves the reader, and what it
        // stores at exit, where start-up put it.
        QCOMPARE(w->PagoraFolder + ' ' + position(), opens ? b + " Ch002 3" : a + " Ch003 4");
        QCOMPARE(w->cboPagoraDir->currentText(), opens ? b : a);
        w->close();
        QCOMPARE((QStringList{stored("ChapterDirectory"), stored("LastChapter"), stored("LastPage")}),
                 opens ? QStringList({b, "Ch002", "3"}) : QStringList({a, "Ch003", "4"}));
    }

    // The empty view of a first run ends with the first folder typed, and
    // again with a folder picked after an invalid one emptied the view.
    void firstRunEndsWithATypedOrPickedFolder()
    {
        const QString a = series("a");
        QDir().mkpath(root + "/bare");
        start();
        const auto controls = [this] { return std::pair(w->cboChapters->isEnabled(), w->RCMenu->isEnabled()); };
        QCOMPARE(controls(), std::pair(false, false));
        typeFolder(a);
        QCOMPARE(controls(), std::pair(true, true));
        QCOMPARE(w->PagoraFolder + ' ' + position(), a + " Ch001 1");
        typeFolder(root + "/bare");
        QCOMPARE(controls(), std::pair(false, false));
        pickFolder(0);
        QCOMPARE(controls(), std::pair(true, true));
        QCOMPARE(w->PagoraFolder + ' ' + position(), a + " Ch001 1");
        QCOMPARE(boxes(), QStringList{"Invalid Directory: Please specify a valid directory"});
    }

    // A stored folder that is there but holds no chapter: an empty list, no box.
    void storedFolderWithoutChaptersStopsSilently()
    {
        const QString bare = root + "/bare/";
        SeriesFixtures::writeBytes(bare + "Readme.txt", "not a chapter");
        startIn(bare);
        QCOMPARE(boxes(), QStringList());
        QCOMPARE(w->cboChapters->count(), 0);
        QCOMPARE((QStringList{w->PagoraFolder, w->cboPagoraDir->currentText(), w->lblPage->text()}),
                 (QStringList{bare, bare, ""}));
    }

    // Browse ends without opening anything: what the view shows afterwards.
    void browsingThatOpensNothing_data()
    {
        QTest::addColumn<QString>("target"); // the folder opened in the browser
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("refused");   // "Invalid Directory", empty view
        QTest::newRow("cancelled after opening another folder") << "b" << false << false;
        QTest::newRow("the current folder") << "a" << true << false;
        QTest::newRow("a folder without chapters") << "bare" << true << true;
    }
    void browsingThatOpensNothing()
    {
        QFETCH(QString, target);
        QFETCH(bool, ok);
        QFETCH(bool, refused);
        const QString a = series("a");
        series("b");
        QDir().mkpath(root + "/bare");
        startIn(a);
        goTo(1, 3);
        browseTo(root + '/' + target, ok);
        QCOMPARE(boxes(), refused ? QStringList{"Invalid Directory: Please specify a valid directory"} : QStringList());
        QCOMPARE(w->PagoraFolder + ' ' + w->cboChapters->currentText() + ' ' + w->lblPage->text(),
                 refused ? "  " : a + " Ch002 Page 3 of 6");
        QCOMPARE(w->cboChapters->count(), refused ? 0 : 3);
        QCOMPARE(std::pair(w->cboChapters->isEnabled(), w->RCMenu->isEnabled()), std::pair(!refused, !refused));
        QCOMPARE(w->Image1->picture().isNull(), refused);
        QCOMPARE(w->cboPagoraDir->currentText(), a);
        QCOMPARE(history(), QStringList{a});
    }

    // With the folder box empty the browser opens at the home folder.
    void browsingFromAnEmptyBoxStartsAtHome()
    {
        start();
        QString opened = "<no dialog>";
        QTimer::singleShot(0, this, [&opened] {
            if (auto *dialog = qobject_cast<frmBrowse *>(QApplication::activeModalWidget())) {
                opened = dialog->Dir1->path();
                dialog->cmdCancel_Click();
            }
        });
        w->cmdBrowse_Click();
        QCOMPARE(opened, TestEnvironment::root() + "/home/");
        QCOMPARE(w->PagoraFolder + w->cboPagoraDir->currentText(), QString());
    }
};

PAGORA_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
