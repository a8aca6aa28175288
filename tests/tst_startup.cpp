// Resuming where reading stopped: start-up, shut-down, a folder to open and a folder typed.
#include "ScriptedPrompts.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "ZipFixtures.h"
#include "dialogs/frmBrowse.h"
#include "settings/SettingsStore.h"

#include <QtTest>
#include <QtWidgets>

using WindowFixtures::control;

class TestStartup : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> w;
    ScriptedPrompts *prompts = nullptr;
    QString root, settingsFile;
    QStringList media;
    const QString invalid = "4 Invalid Directory: Please specify a valid directory\n";

    // Three chapters of four pages unless told; the folder with its final "/".
    QString series(const QString &name, const QStringList &chapters = {"Ch001", "Ch002", "Ch003"})
    {
        for (const QString &c : chapters)
            SeriesFixtures::makeFolderChapter(root + name, c, {"1.jpg", "2.jpg", "3.jpg", "4.jpg"});
        return root + name + '/';
    }
    // A window on a fresh settings file of General keys or folders ("/...") and values, if any.
    void start(const QStringList &keys = {}, const QString &folderToOpen = {})
    {
        w.reset(), prompts->shown.clear();
        if (!keys.isEmpty())
            qputenv("XDG_CONFIG_HOME", TestEnvironment::freshFolder("config").toUtf8());
        settingsFile = SettingsStore().fileName();
        for (int i = 0; i + 1 < keys.size(); i += 2) // shared with the window's store, unsaved
            SettingsStore().write(keys[i][0] == '/' ? SettingsStore::FolderSection : "General",
                                  keys[i], keys[i + 1]);
        w = WindowFixtures::startedWindow(folderToOpen);
    }
    // The folder, chapter and page the file on disk holds, the keys in any case.
    QString stored() const
    {
        QString values, file = SeriesFixtures::fileContent(settingsFile);
        for (const QString key : {"ChapterDirectory", "LastChapter", "LastPage"})
            values += QRegularExpression("(?mi)^" + key + "=(.*)$").match(file).captured(1) + ' ';
        return values.chopped(1);
    }
    // The folder, chapter, page, page label and folder history shown; the boxes' icons and texts.
    QString shown() const
    {
        const auto *box = control<QComboBox>(*w, "cboPagoraDir");
        QString text = w->view().folder + ' ' + w->view().chapter + ' '
                       + QString::number(w->view().page) + ' '
                       + control<QLabel>(*w, "lblPage")->text() + " ["
                       + WindowFixtures::items(box).join(' ') + "]\n";
        for (const auto &[isInput, m, input] : prompts->shown)
            text += QString::number(int(m.icon)) + ' ' + m.title + ": " + m.text + '\n';
        return text;
    }

private slots:
    void init()
    {
        prompts = ScriptedPrompts::install();
        root = TestEnvironment::freshFolder("startup") + '/', media.clear();
        frmMain::RemovableMediaFolders = [this] { return media; };
    }

    // A first run opens the first removable medium if it holds two sub-folders or more.
    void firstRun()
    {
        for (const QStringList &chapters : {QStringList(), {"Ch001"}, {"Ch001", "Ch002"}}) {
            media = {series("m", chapters), series("n")}; // the first is not there at first
            start({"LastPage", "1"});                     // no folder stored
            const bool taken = chapters.size() > 1;
            QCOMPARE(shown(),
                     taken ? media[0] + " Ch001 1 Page 1 of 4 [" + media[0] + "]\n" : "  0  []\n");
            QCOMPARE(control<QComboBox>(*w, "cboChapters")->isEnabled(), taken);
        }
    }

    // A place saved as "chapter^^page", a folder's own, restored when it is opened; or saved as
    // chapter|page, restored at start-up from a folder stored without its final "/".
    void savedPlaceRestores()
    {
        const QString f = series("f", {"Ch001", "Ch002", "Ch003", "Ch4^^ 7"});
        for (const QString row :
             {"ch003|2|Ch003 2 Page 2", "Ch002|0|Ch002 1 Page 1", "Ch002|40|Ch002 1 Page 1",
              "Ch002^^3|Ch002 3 Page 3", "Ch002^^ +3|Ch002 3 Page 3", "ch002^^ 3|Ch001 3 Page 3",
              "Ch4^^ 7^^ 3|Ch4^^ 7 3 Page 3", "Ch002^^ |Ch002 1 Page 1", "^^ 3|Ch001 3 Page 3"}) {
            const QStringList p = row.split('|');
            p.size() == 3
                ? start({"ChapterDirectory", f.chopped(1), "LastChapter", p[0], "LastPage", p[1]})
                : start({f, p[0]}, f);
            QCOMPARE(shown(), f + ' ' + p.last() + " of 4 [" + (p.size() == 3 ? f : "") + "]\n");
        }
    }

    // Folders chosen in the browser, named without their final "/": each opens at its saved
    // place, and one already in the folder list is picked there, not listed twice.
    void browsedFolders()
    {
        const QString a = series("a"), b = series("b");
        start({"ChapterDirectory", a, "LastChapter", "Ch002", "LastPage", "2", b, "Ch003^^ 4"});
        for (const QString &folder : {b, a}) {
            QTimer::singleShot(0, this, [folder] {
                auto *dialog = qobject_cast<frmBrowse *>(QApplication::activeModalWidget());
                control<DirListBox>(*dialog, "Dir1")->setPath(folder.chopped(1));
                QTest::mouseClick(control<QPushButton>(*dialog, "cmdOk"), Qt::LeftButton);
            });
            QTest::mouseClick(control<QPushButton>(*w, "cmdBrowse"), Qt::LeftButton);
            QCOMPARE(shown(), folder + (folder == a ? " Ch002 2 Page 2" : " Ch003 4 Page 4")
                                  + " of 4 [" + a + ' ' + b + "]\n");
        }
    }

    // A stored folder not there: a box asks for the medium, another says it is still missing.
    void missingFolderAsksOnceForTheMedium()
    {
        prompts->beforeMessage = [this] { series("cd"); }; // the medium goes in at the box
        for (const QString name : {"cd", "gone"}) {
            const QString f = root + name + '/', title = " Unable To Locate Directory: ";
            start({"ChapterDirectory", f, "LastChapter", "Ch002", "LastPage", "2"});
            QString text = f + (name == "cd" ? " Ch002 2 Page 2 of 4 [" : "  0  [") + f + "]\n2"
                           + title + "Unable to locate your pagora directory at: " + f
                           + "\r\n(Do you need to insert a CD?)\r\n\r\nClick Ok when ready.\n";
            if (name == "gone")
                text += "4" + title + "Still unable to locate pagora directory at: " + f + '\n';
            QCOMPARE(shown(), text);
        }
    }

    // At shut-down the place is written over a stale one; the next start opens what was kept
    // (nothing if it went meanwhile); a place not saved is told once a run.
    void shutDown()
    {
        for (auto [open, vanishes] : {std::pair(true, false), {true, true}, {false, false}}) {
            const QString f = series("f"), kept = open && !vanishes ? f : QString();
            start({"ChapterDirectory", open ? f : ""});
            if (open)
                WindowFixtures::openSeries(*w, f, "Ch002"), WindowFixtures::goToPage(*w, 3);
            SettingsStore().write("General", "LastPage", "1");
            QVERIFY(!vanishes || QDir(f).removeRecursively());
            w->close();
            QCOMPARE(stored(), open ? kept + " Ch002 3" : "  0");
            start();
            QCOMPARE(shown().section(' ', 0, 0) + shown().section('[', 1), kept + kept + "]\n");
            if (kept.isEmpty())
                continue; // the place cannot be saved: told once, at the page and at shut-down
            QVERIFY(QFile::remove(settingsFile) && QDir().mkpath(settingsFile));
            WindowFixtures::goToPage(*w, 2), w->close();
            QCOMPARE(shown().section('\n', 1).replace(settingsFile, "FILE"),
                     "4 Settings Not Saved: The reading position could not be saved in the "
                     "settings file FILE\r\n\r\nReason: a folder is in its place\n");
        }
    }

    // A folder given to open, typed, or dropped on a control from a file manager: an unusable
    // one gets the box (given, it moves nothing). A dropped archive opens at its chapter; a drop
    // of no local folder or archive is refused and changes nothing.
    void folderToOpen()
    {
        const QString a = series("a"), b = series("b"), history = " [" + a + ' ' + b + "]\n";
        const QByteArray page = SeriesFixtures::solidPage({20, 20}, Qt::red);
        QVERIFY(ZipFixtures::write(b + "Ch9.zip", {ZipFixtures::file("1.jpg", page)}));
        const QString untouched = a + " Ch003 1 Page 1 of 4" + history;
        for (const QString path :
             {"b", "missing", "b/Ch001", "b/Ch001/1.jpg", "b/Ch9.zip", "https://example.org/b/"}) {
            for (const char how : QByteArray("gtd")) { // given, typed, dropped
                if (how != 'd' && (path.endsWith(".zip") || path.contains(':')))
                    continue;
                start({b, "Ch002^^ 3", "ChapterDirectory", a, "LastChapter", "Ch003"},
                      how == 'g' ? root + path : "");
                QLineEdit *box = control<QComboBox>(*w, "cboPagoraDir")->lineEdit();
                if (how == 't') // as a reader does: into the box, and on
                    box->setFocus(Qt::TabFocusReason), QTest::keyClicks(box, root + path + '\t');
                // Only the series, its sub-folder and its archive are dropped as folders to open.
                const bool refusedDrop = how == 'd' && (path[0] != 'b' || path.endsWith(".jpg"));
                if (how == 'd') {
                    QWidget *target = path.endsWith(".zip") ? box : control<QWidget>(*w, "Image1");
                    QMimeData data;
                    data.setUrls({QUrl::fromUserInput(path.contains(':') ? path : root + path)});
                    QDragEnterEvent enter({9, 9}, Qt::CopyAction | Qt::MoveAction, &data, {}, {});
                    QDropEvent drop({9, 9}, Qt::CopyAction | Qt::MoveAction, &data, {}, {});
                    if (QApplication::sendEvent(target, &enter), enter.isAccepted())
                        QApplication::sendEvent(target, &drop);
                    QCoreApplication::processEvents(); // the drop is opened once it is over
                    QCOMPARE(enter.isAccepted() && drop.isAccepted()
                                 && drop.dropAction() == Qt::CopyAction,
                             !refusedDrop);
                }
                const QString refused = path == "b/Ch001" ? root + "b/Ch001/" : "";
                QCOMPARE(shown(), path == "b"             ? b + " Ch002 3 Page 3 of 4" + history
                                  : path.endsWith(".zip") ? b + " Ch9.zip 1 Page 1 of 1" + history
                                  : refusedDrop           ? untouched
                                  : how != 'g'            ? refused + "  1 " + history + invalid
                                                          : untouched + invalid);
                QVERIFY(how != 't' || box->text() == root + path + '/');
                w->close();
                QCOMPARE(stored(), shown().section(' ', 0, 2));
            }
        }
    }
};

PAGORA_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
