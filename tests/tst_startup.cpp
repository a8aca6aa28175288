// Resuming where reading stopped: start-up, shut-down, a folder to open and a folder typed.
#include "ScriptedPrompts.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "settings/SettingsStore.h"

#include <QtTest>
#include <QtWidgets>

using WindowFixtures::control;

struct PromptsWithHook : ScriptedPrompts { // runs the hook at the first box
    std::function<void()> hook = [] {};
    PromptResult message(const MessageRequest &r) override
    {
        return std::exchange(hook, [] {})(), ScriptedPrompts::message(r);
    }
};

class TestStartup : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> w;
    PromptsWithHook *prompts = nullptr;
    QString root, settingsFile;
    QStringList media;
    const QString invalid = "Invalid Directory: Please specify a valid directory\n";

    // Three chapters of four pages unless told; the folder with its final "/".
    QString series(const QString &name, const QStringList &chapters = {"Ch001", "Ch002", "Ch003"})
    {
        for (const QString &c : chapters)
            SeriesFixtures::makeFolderChapter(root + name, c, {"1.jpg", "2.jpg", "3.jpg", "4.jpg"});
        return root + name + '/';
    }
    // A settings file of its own, written before a start: keys of General and their values,
    // or folders ("/...") and their places, one after the other.
    void store(const QStringList &keysAndValues)
    {
        settingsFile = TestEnvironment::freshFolder("config") + "/SorvikViewer/SorvikViewer.ini";
        qputenv("XDG_CONFIG_HOME", settingsFile.section('/', 0, -3).toUtf8());
        SettingsStore settings;
        for (int i = 0; i + 1 < keysAndValues.size(); i += 2) {
            const QString &key = keysAndValues[i];
            settings.write(key[0] == '/' ? SettingsStore::FolderSection : "General", key,
                           keysAndValues[i + 1]);
        }
        settings.sync();
    }
    // General's values as the file on disk holds them.
    QString stored(const QString &keys) const
    {
        const QString file = SeriesFixtures::fileContent(settingsFile);
        QStringList values;
        for (const QString &key : keys.split(' ')) // (?mi): per line, in any case
            values << QRegularExpression("(?mi)^" + key + "=(.*)$").match(file).captured(1);
        return values.join(' ');
    }
    void start(const QString &folderToOpen = {})
    {
        w.reset(), prompts->shown.clear();
        w = std::make_unique<frmMain>();
        if (!folderToOpen.isEmpty())
            w->OpenFolderAfterStartup(folderToOpen);
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    // The folder, chapter, page and page label shown, the folder history, the boxes shown.
    QString shown() const
    {
        const frmMain::View v = w->view();
        const auto *box = control<QComboBox>(*w, "cboPagoraDir");
        QString text = v.folder + ' ' + v.chapter + ' ' + QString::number(v.page) + ' '
                       + control<QLabel>(*w, "lblPage")->text() + " [";
        for (int i = 0; i < box->count(); ++i)
            text += box->itemText(i) + (i + 1 < box->count() ? " " : "");
        text += "]\n";
        for (const auto &shown : prompts->shown)
            text += shown.message.title + ": " + shown.message.text + '\n';
        return text;
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

private slots:
    void init()
    {
        Prompts::install(std::unique_ptr<Prompts>(prompts = new PromptsWithHook));
        root = TestEnvironment::freshFolder("startup") + '/';
        frmMain::RemovableMediaFolders = [this] { return media; };
    }
    void cleanup() { w.reset(), media.clear(); }

    // A first run opens the first removable medium if it holds two sub-folders or more.
    void firstRun()
    {
        const QString m = root + "m/";
        for (const QStringList &chapters : {QStringList(), {"Ch001"}, {"Ch001", "Ch002"}}) {
            media = chapters.isEmpty() ? QStringList()
                                       : QStringList{series("m", chapters), series("n")};
            store({});
            start();
            const bool taken = chapters.size() > 1;
            QCOMPARE(shown(), taken ? m + " Ch001 1 Page 1 of 4 [" + m + "]\n" : "  0  []\n");
            QCOMPARE(control<QComboBox>(*w, "cboChapters")->isEnabled(), taken);
        }
    }

    // A place saved as "chapter^^page": the last one read, restored at start-up from a folder
    // stored without its final "/"; or a folder's own, restored when the folder is typed.
    void savedPlaceRestores()
    {
        const QString f = series("f", {"Ch001", "Ch002", "Ch003", "Ch4^^ 7"});
        // Where the place is saved (at start-up or under the folder), the place, what shows.
        for (const QString row :
             {"start-up|ch003^^2|Ch003 2 Page 2", "start-up|Ch002^^0|Ch002 1 Page 1",
              "start-up|Ch002^^40|Ch002 1 Page 1", "folder|Ch002^^ 3|Ch002 3 Page 3",
              "folder|Ch002^^3|Ch002 3 Page 3", "folder|Ch002^^ +3|Ch002 3 Page 3",
              "folder|ch002^^ 3|Ch001 3 Page 3", "folder|Ch4^^ 7^^ 3|Ch4^^ 7 3 Page 3"}) {
            const QString saved = row.section('|', 1, 1), place = row.section('|', 2);
            const bool atStartUp = row.startsWith("start-up");
            const QStringList parts = saved.split("^^");
            if (atStartUp)
                store({"ChapterDirectory", f.chopped(1), "LastChapter", parts[0], "LastPage",
                       parts[1]});
            else
                store({f, saved});
            start();
            if (!atStartUp)
                type(f);
            QCOMPARE(shown().section('[', 0, 0), f + ' ' + place + " of 4 ");
            QCOMPARE(prompts->shown.size(), 0);
        }
    }

    // A stored folder not there: a box asks for the medium, another says it is still missing.
    void missingFolderAsksOnceForTheMedium()
    {
        for (const QString name : {"cd", "gone"}) {
            const QString f = root + name + '/';
            store({"ChapterDirectory", f, "LastChapter", "Ch002", "LastPage", "2"});
            prompts->hook = [&] { name == "cd" ? void(series(name)) : void(); };
            start();
            QCOMPARE(shown().section('\n', 0, 0),
                     f + (name == "cd" ? " Ch002 2 Page 2 of 4 [" : "  0  [") + f + ']');
            QCOMPARE(prompts->shown.size(), name == "cd" ? 1 : 2);
            for (const auto &box : prompts->shown)
                QVERIFY(box.message.title == "Unable To Locate Directory"
                        && box.message.text.contains(f));
            QCOMPARE(prompts->shown.last().message.icon,
                     name == "cd" ? PromptIcon::Question : PromptIcon::Information);
        }
    }

    // At shut-down the place is written over a stale one and the run's folder goes; the next
    // start opens what was kept, or nothing when the folder went meanwhile.
    void shutDown()
    {
        for (auto [open, vanishes] : {std::pair(true, false), {true, true}, {false, false}}) {
            const QString f = series("f"), kept = open && !vanishes ? f : QString();
            store({"ChapterDirectory", open ? f : ""});
            start();
            if (open)
                WindowFixtures::openSeries(*w, f, "Ch002"), WindowFixtures::goToPage(*w, 3);
            const QString runFolder = w->view().runFolder;
            SeriesFixtures::writeBytes(runFolder + "TempImage.Png", "a page");
            SettingsStore().write("General", "LastPage", "1");
            QVERIFY(!vanishes || QDir(f).removeRecursively());
            w->close();
            QCOMPARE(stored("LastChapter LastPage ChapterDirectory"),
                     open ? "Ch002 3 " + kept : " 0 ");
            QVERIFY(!runFolder.isEmpty() && !QFileInfo::exists(runFolder));
            start();
            QCOMPARE(shown().section(' ', 0, 0) + shown().section('[', 1), kept + kept + "]\n");
        }
    }

    // A folder to open after start-up, or typed: one that cannot be used gets the box. Given
    // to open, it leaves the reader, and what it stores at exit, where start-up put it; typed,
    // it empties the view and stays in the box.
    void folderToOpen()
    {
        const QString a = series("a"), b = series("b"), history = " [" + a + ' ' + b + "]\n";
        for (const QString argument : {"b", "missing", "b/Ch001", "b/Ch001/1.jpg"}) {
            for (bool typed : {false, true}) {
                store({b, "Ch002^^ 3", "ChapterDirectory", a, "LastChapter", "Ch003", "Lastpage",
                       "4"});
                start(typed ? "" : root + argument);
                if (typed)
                    type(root + argument);
                const QString refused = argument == "b/Ch001" ? root + "b/Ch001/" : "";
                QCOMPARE(shown(), argument == "b" ? b + " Ch002 3 Page 3 of 4" + history
                                  : typed         ? refused + "  4 " + history + invalid
                                                  : a + " Ch003 4 Page 4 of 4" + history + invalid);
                QVERIFY(!typed
                        || control<QComboBox>(*w, "cboPagoraDir")->currentText()
                               == root + argument + '/');
                w->close();
                QCOMPARE(stored("ChapterDirectory LastChapter LastPage"),
                         shown().section(' ', 0, 2));
            }
        }
    }

    // A place that cannot be saved is told once a run, at the pages and at shut-down alike.
    void unsavedPlaceIsToldOnce()
    {
        store({"ChapterDirectory", series("a")});
        start();
        QVERIFY(QFile::remove(settingsFile) && QDir().mkpath(settingsFile));
        WindowFixtures::goToPage(*w, 3);
        w->close();
        QCOMPARE(prompts->shown.size(), 1);
        QCOMPARE(prompts->shown[0].message.title, "Settings Not Saved");
        QVERIFY(prompts->shown[0].message.text.endsWith(
            settingsFile + "\r\n\r\nReason: a folder is in its place"));
    }
};

PAGORA_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
