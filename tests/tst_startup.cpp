// Resuming where reading stopped: start-up, shut-down and the ways of changing folders.
#include "ScriptedPrompts.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "dialogs/frmBrowse.h"
#include "settings/SettingsStore.h"

#include <QtTest>
#include <QtWidgets>

using WindowFixtures::control;

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
    QString root, settingsFile;
    QStringList media;
    const QString invalid = "Invalid Directory: Please specify a valid directory";

    // Three chapters of six pages unless told; the folder with its final "/".
    QString series(const QString &name, const QStringList &chapters = {"Ch001", "Ch002", "Ch003"})
    {
        for (const QString &chapter : chapters)
            SeriesFixtures::makeFolderChapter(root + '/' + name, chapter,
                                              {"1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.jpg", "6.jpg"});
        return root + '/' + name + '/';
    }
    // Writes the settings file before a start: keys of General, or folders ("/...") and their place.
    void store(const QList<QPair<QString, QString>> &values)
    {
        SettingsStore settings;
        for (const auto &[key, value] : values)
            settings.write(key.startsWith('/') ? SettingsStore::FolderSection : "General", key, value);
        settings.sync();
    }
    // A value of General as the file on disk holds it.
    QString stored(const QString &key) const
    {
        const QRegularExpression line('^' + key + "=(.*)$", QRegularExpression::MultilineOption);
        return line.match(SeriesFixtures::fileContent(settingsFile)).captured(1);
    }
    void start(const QString &argument = {})
    {
        w.reset();
        w = std::make_unique<frmMain>();
        if (!argument.isEmpty())
            w->OpenFolderAfterStartup(argument);
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    // The folder, chapter and page shown.
    QString place() const
    {
        const frmMain::View v = w->view();
        return v.folder + ' ' + v.chapter + ' ' + QString::number(v.page);
    }
    QString pageLabel() const { return control<QLabel>(*w, "lblPage")->text(); }
    QString history() const
    {
        QStringList items;
        for (auto *box = control<QComboBox>(*w, "cboPagoraDir"); items.size() < box->count();)
            items << box->itemText(items.size());
        return items.join('|');
    }
    // Types into the folder box as a reader does and moves on.
    void type(const QString &text)
    {
        QLineEdit *edit = control<QComboBox>(*w, "cboPagoraDir")->lineEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Tab);
    }
    // Picks item `index` of the folder box's list.
    void pick(int index)
    {
        auto *box = control<QComboBox>(*w, "cboPagoraDir");
        box->showPopup();
        box->view()->setCurrentIndex(box->model()->index(index, 0));
        QTest::keyClick(box->view(), Qt::Key_Return);
    }
    // A settings file of its own, as the tests share one run.
    void freshSettings()
    {
        const QString config = TestEnvironment::freshFolder("config");
        qputenv("XDG_CONFIG_HOME", config.toUtf8());
        settingsFile = config + "/SorvikViewer/SorvikViewer.ini";
    }
    // The boxes shown, as "title: text".
    QStringList boxes() const
    {
        QStringList seen;
        for (const auto &shown : prompts->shown)
            seen << shown.message.title + ": " + shown.message.text;
        return seen;
    }

private slots:
    void init()
    {
        Prompts::install(std::unique_ptr<Prompts>(prompts = new PromptsWithHook));
        root = TestEnvironment::freshFolder("startup");
        freshSettings();
        frmMain::RemovableMediaFolders = [this] { return media; };
    }
    void cleanup() { w.reset(), media.clear(); }

    // A first run opens the first removable medium if it holds two sub-folders or more.
    void firstRun_data()
    {
        QTest::addColumn<QStringList>("chapters"); // on the first medium; none: no medium
        QTest::newRow("no medium: empty view") << QStringList();
        QTest::newRow("one sub-folder") << QStringList{"Ch001"};
        QTest::newRow("two sub-folders") << QStringList{"Ch001", "Ch002"};
    }
    void firstRun()
    {
        QFETCH(QStringList, chapters);
        if (!chapters.isEmpty())
            media = {series("medium", chapters), series("other")};
        start();
        const QString taken = chapters.size() > 1 ? media.first() : QString();
        QCOMPARE(place() + ' ' + history(), taken.isEmpty() ? "  0 " : taken + " Ch001 1 " + taken);
        QCOMPARE(pageLabel(), taken.isEmpty() ? "" : "Page 1 of 6");
        QCOMPARE(control<QComboBox>(*w, "cboChapters")->isEnabled(), !taken.isEmpty());
        QCOMPARE(boxes(), QStringList());
    }

    // A place saved as "chapter^^page": the last one read, restored at start-up from a folder
    // stored without its final "/"; or a folder's own, restored when the folder is typed.
    void savedPlaceRestores_data()
    {
        QTest::addColumn<bool>("atStartUp");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("shown");
        QTest::newRow("start-up: chapter matched ignoring case") << true << "ch003^^2" << "Ch003 2";
        QTest::newRow("start-up: page 0, page 1") << true << "Ch002^^0" << "Ch002 1";
        QTest::newRow("start-up: beyond the chapter, page 1") << true << "Ch002^^40" << "Ch002 1";
        QTest::newRow("typed: with the blank") << false << "Ch002^^ 5" << "Ch002 5";
        QTest::newRow("typed: without the blank") << false << "Ch002^^5" << "Ch002 5";
        QTest::newRow("typed: a plus sign") << false << "Ch002^^ +5" << "Ch002 5";
        QTest::newRow("typed: chapter in other case, the first") << false << "ch002^^ 5" << "Ch001 5";
        QTest::newRow("typed: the mark in the chapter's name") << false << "Ch4^^ 7^^ 3" << "Ch4^^ 7 3";
    }
    void savedPlaceRestores()
    {
        QFETCH(bool, atStartUp);
        QFETCH(QString, saved);
        QFETCH(QString, shown);
        const QString folder = series("books", {"Ch001", "Ch002", "Ch003", "Ch4^^ 7"});
        if (atStartUp)
            store({{"ChapterDirectory", folder.chopped(1)}, {"LastChapter", saved.section("^^", 0, 0)},
                   {"LastPage", saved.section("^^", 1)}});
        else
            store({{folder, saved}});
        start();
        if (!atStartUp)
            w->OpenFolderAfterStartup(folder);
        QCOMPARE(place() + ' ' + pageLabel(), folder + ' ' + shown + " Page " + shown.section(' ', -1) + " of 6");
        QCOMPARE(boxes(), QStringList());
    }

    void missingFolderAsksOnceForTheMedium()
    {
        for (bool inserted : {true, false}) {
            const QString folder = root + (inserted ? "/cd/" : "/gone/");
            freshSettings();
            store({{"ChapterDirectory", folder}, {"LastChapter", "Ch002"}, {"LastPage", "2"}});
            prompts->shown.clear();
            prompts->hook = [&] {
                if (inserted)
                    series("cd");
            };
            start();
            QStringList expected{"Unable To Locate Directory: Unable to locate your pagora directory at: "
                                 + folder + "\r\n(Do you need to insert a CD?)\r\n\r\nClick Ok when ready."};
            if (!inserted)
                expected << "Unable To Locate Directory: Still unable to locate pagora directory at: " + folder;
            QCOMPARE(boxes(), expected);
            QCOMPARE(prompts->shown.last().message.icon, inserted ? PromptIcon::Question : PromptIcon::Information);
            QCOMPARE(place() + ' ' + pageLabel(), inserted ? folder + " Ch002 2 Page 2 of 6" : folder + "  0 ");
        }
    }

    // At shut-down the place is written over a stale one and the run's folder goes; the next
    // start opens what was kept, or nothing when the folder went meanwhile.
    void shutDown()
    {
        for (auto [open, vanishes] : {std::pair(true, false), {true, true}, {false, false}}) {
            const QString folder = series("books"), kept = open && !vanishes ? folder : QString();
            freshSettings();
            store({{"ChapterDirectory", open ? folder : ""}});
            start();
            if (open)
                WindowFixtures::openSeries(*w, folder, "Ch002"), WindowFixtures::goToPage(*w, 3);
            const QString runFolder = w->view().runFolder;
            SeriesFixtures::writeBytes(runFolder + "TempImage.Png", "a page");
            store({{"LastPage", "1"}});
            QVERIFY(!vanishes || QDir(folder).removeRecursively());
            w->close();
            QCOMPARE(stored("LastChapter") + ' ' + stored("LastPage") + ' ' + stored("ChapterDirectory"),
                     open ? "Ch002 3 " + kept : "  0 ");
            QVERIFY(!runFolder.isEmpty() && !QFileInfo::exists(runFolder));
            start();
            QCOMPARE(place().section(' ', 0, 0) + history(), kept + kept);
        }
        QCOMPARE(boxes(), QStringList());
    }

    // A folder given to open after start-up; one that cannot be used gets the box and leaves
    // the reader, and what it stores at exit, where start-up put it.
    void folderAfterStartUp_data()
    {
        QTest::addColumn<QString>("argument"); // under the test's root
        QTest::newRow("good folder") << "b";
        QTest::newRow("missing folder") << "missing";
        QTest::newRow("folder without chapters") << "b/Ch001";
        QTest::newRow("a file") << "b/Ch001/1.jpg";
    }
    void folderAfterStartUp()
    {
        QFETCH(QString, argument);
        const QString a = series("a"), b = series("b");
        const bool opens = argument == "b";
        store({{b, "Ch002^^ 3"}, {"ChapterDirectory", a}, {"LastChapter", "Ch003"}, {"Lastpage", "4"}});
        start(root + '/' + argument);
        QCOMPARE(boxes(), opens ? QStringList() : QStringList{invalid});
        QCOMPARE(place(), opens ? b + " Ch002 3" : a + " Ch003 4");
        QCOMPARE(control<QComboBox>(*w, "cboPagoraDir")->currentText(), opens ? b : a);
        w->close();
        QCOMPARE(stored("ChapterDirectory") + ' ' + stored("LastChapter") + ' ' + stored("LastPage"),
                 place());
    }

    // Typed, the folder shown changes nothing; a new one joins the history's end and opens
    // at its start, taken as typed; one that cannot be used gets the box and empties the
    // view; a folder picked again resumes where it was left.
    void changingFolders()
    {
        const QString ab = series("ab"), a = series("a");
        QDir().mkpath(root + "/bare");
        store({{"ChapterDirectory", ab}});
        start();
        WindowFixtures::openSeries(*w, ab, "Ch002");
        type(ab.chopped(1));
        QCOMPARE(place(), ab + " Ch002 1");
        type(a.chopped(1));
        WindowFixtures::goToPage(*w, 5);
        QCOMPARE(place() + ' ' + history(), a + " Ch001 5 " + ab + '|' + a);
        type(root + "/bare/");
        QCOMPARE(boxes(), QStringList{invalid});
        QCOMPARE(control<QComboBox>(*w, "cboPagoraDir")->currentText() + pageLabel(), root + "/bare/");
        QVERIFY(!control<QComboBox>(*w, "cboChapters")->isEnabled());
        pick(0);
        QCOMPARE(place() + ' ' + pageLabel(), ab + " Ch002 1 Page 1 of 6");
        pick(1);
        QCOMPARE(place() + ' ' + history(), a + " Ch001 5 " + ab + '|' + a);
    }

    // Browse starts at the home folder when the folder box is empty and opens what OK returns.
    void browsing()
    {
        const QString a = series("a");
        start();
        QString opened;
        QTimer::singleShot(0, this, [&] {
            QWidget *dialog = QApplication::activeModalWidget();
            auto *list = control<DirListBox>(*dialog, "Dir1");
            opened = list->path();
            list->setPath(a);
            QTest::mouseClick(control<QPushButton>(*dialog, "cmdOk"), Qt::LeftButton);
        });
        QTest::mouseClick(control<QPushButton>(*w, "cmdBrowse"), Qt::LeftButton);
        QCOMPARE(opened, TestEnvironment::root() + "/home/");
        QCOMPARE(place() + ' ' + history(), a + " Ch001 1 " + a);
    }

    // A place that cannot be saved is told once a run, at the pages and at shut-down alike.
    void unsavedPlaceIsToldOnce()
    {
        store({{"ChapterDirectory", series("a")}});
        start();
        QVERIFY(QFile::remove(settingsFile) && QDir().mkpath(settingsFile));
        WindowFixtures::goToPage(*w, 3);
        w->close();
        QCOMPARE(boxes(), QStringList{"Settings Not Saved: The reading position could not be saved in "
                                      "the settings file " + settingsFile + "\r\n\r\nReason: a folder is in its place"});
    }
};

PAGORA_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
