// Resuming where reading stopped: the start-up, the shut-down, and every way
// of changing folders, on the real window.
#include "ScriptedPrompts.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "app/frmMain.h"
#include "dialogs/frmBrowse.h"
#include "platform/PictureControls.h"
#include "settings/SettingsStore.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QtTest>

using namespace SeriesFixtures;

namespace {

// Scripted answers, plus a hook that runs when a box with a given title
// appears: the reader inserting the medium while the box is up.
class PromptsWithHook : public ScriptedPrompts {
public:
    QString hookTitle;
    std::function<void()> hook;
    PromptResult message(const MessageRequest &request) override
    {
        if (hook && request.title == hookTitle) {
            hook();
            hook = nullptr;
        }
        return ScriptedPrompts::message(request);
    }
};

QStringList titles(const ScriptedPrompts &prompts)
{
    QStringList list;
    for (const auto &shown : prompts.shown)
        list << (shown.isInput ? shown.input.prompt : shown.message.title);
    return list;
}

QStringList historyOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

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

    QString stored(const QString &section, const QString &key)
    {
        return SettingsStore().read(section, key, QStringLiteral("<missing>"));
    }

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

private slots:
    void init()
    {
        auto owned = std::make_unique<PromptsWithHook>();
        prompts = owned.get();
        Prompts::install(std::move(owned));
        root = TestEnvironment::freshFolder(QStringLiteral("startup"));
        // A configuration of its own for every test.
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

    void firstRunShowsAnEmptyView()
    {
        start();
        QCOMPARE(w->PagoraFolder, QString());
        QVERIFY(!w->cboChapters->isEnabled());
        QVERIFY(!w->RCMenu->isEnabled());
        QCOMPARE(w->cboPagoraDir->count(), 0);
        QCOMPARE(w->DragAnchorX, -1);
        QVERIFY(prompts->shown.isEmpty());
    }

    void firstRunTakesAMediumWithTwoFolders_data()
    {
        QTest::addColumn<QStringList>("chapters");
        QTest::addColumn<bool>("taken");
        QTest::newRow("one folder") << QStringList{"Ch001"} << false;
        QTest::newRow("two folders") << QStringList{"Ch001", "Ch002"} << true;
    }
    void firstRunTakesAMediumWithTwoFolders()
    {
        QFETCH(QStringList, chapters);
        QFETCH(bool, taken);
        media = {series(QStringLiteral("medium"), chapters), series(QStringLiteral("other"))};
        start();
        QCOMPARE(w->PagoraFolder, taken ? media.first() : QString());
        QCOMPARE(w->cboChapters->count(), taken ? 2 : 0);
        QCOMPARE(w->lblPage->text(), taken ? QStringLiteral("Page 1 of 6") : QString());
    }

    void resumesTheStoredFolderChapterAndPage_data()
    {
        QTest::addColumn<QString>("chapter");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("shownChapter");
        QTest::addColumn<int>("shownPage");
        QTest::newRow("as stored") << "Ch002" << "4" << "Ch002" << 4;
        QTest::newRow("chapter matched ignoring case") << "ch003" << "2" << "Ch003" << 2;
        QTest::newRow("page 0 opens page 1") << "Ch002" << "0" << "Ch002" << 1;
        QTest::newRow("not a number opens page 1") << "Ch002" << "many" << "Ch002" << 1;
        QTest::newRow("beyond the chapter: page 1") << "Ch002" << "40" << "Ch002" << 1;
        QTest::newRow("chapter gone: the first") << "Ch009" << "3" << "Ch001" << 3;
    }
    void resumesTheStoredFolderChapterAndPage()
    {
        QFETCH(QString, chapter);
        QFETCH(QString, page);
        QFETCH(QString, shownChapter);
        QFETCH(int, shownPage);
        const QString folder = series(QStringLiteral("books"));
        store("General", "ChapterDirectory", folder.chopped(1)); // no final "/"
        store("General", "LastChapter", chapter);
        store("General", "LastPage", page);
        start();
        QCOMPARE(w->PagoraFolder, folder);
        QCOMPARE(w->cboPagoraDir->currentText(), folder);
        QCOMPARE(w->cboChapters->currentText(), shownChapter);
        QCOMPARE(int(w->PageIndex), shownPage);
        QCOMPARE(w->lblPage->text(), QStringLiteral("Page %1 of 6").arg(shownPage));
        QVERIFY(prompts->shown.isEmpty());
    }

    void historyIsTheCurrentFolderThenTheSavedOnes()
    {
        const QString a = series(QStringLiteral("a")), b = series(QStringLiteral("b"));
        store("PagoraDirs", a, "Ch001^^ 2");
        store("PagoraDirs", b, "Ch001^^ 3");
        store("General", "ChapterDirectory", b);
        start();
        QCOMPARE(historyOf(w->cboPagoraDir), (QStringList{b, a}));
        QCOMPARE(w->cboPagoraDir->currentIndex(), 0);
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
        store("General", "ChapterDirectory", folder);
        store("General", "LastChapter", "Ch002");
        store("General", "LastPage", "2");
        if (inserted) {
            prompts->hookTitle = QStringLiteral("Unable To Locate Directory");
            prompts->hook = [this] { series(QStringLiteral("cd/comics")); };
        }
        start();
        QCOMPARE(prompts->shown.size(), inserted ? 1 : 2);
        const MessageRequest first = prompts->shown.first().message;
        QCOMPARE(first.text, QStringLiteral("Unable to locate your pagora directory at: ") + folder
                                 + QStringLiteral("\r\n(Do you need to insert a CD?)\r\n\r\nClick Ok when ready."));
        QCOMPARE(first.icon, PromptIcon::Question);
        if (inserted) {
            QCOMPARE(w->cboChapters->currentText(), QStringLiteral("Ch002"));
            QCOMPARE(w->PageIndex, qint16(2));
        } else {
            const MessageRequest second = prompts->shown[1].message;
            QCOMPARE(second.text, QStringLiteral("Still unable to locate pagora directory at: ") + folder);
            QCOMPARE(second.icon, PromptIcon::Information);
            QVERIFY(!w->cboChapters->isEnabled());
            QCOMPARE(w->cboChapters->count(), 0);
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

    void shutDownSavesThePositionAndCleansUp()
    {
        const QString folder = series(QStringLiteral("books"));
        store("General", "ChapterDirectory", folder);
        start();
        w->cboChapters->setCurrentIndex(1);
        w->PageIndex = 3;
        w->ShowPage(w->PageIndex);
        const QString runFolder = w->AppFolder;
        QFile(runFolder + QStringLiteral("TempImage.Png")).open(QIODevice::WriteOnly);
        QVERIFY(QFileInfo::exists(runFolder));
        store("General", "LastPage", "1");
        w->close();
        QCOMPARE(stored("General", "LastChapter"), QStringLiteral("Ch002"));
        QCOMPARE(stored("General", "LastPage"), QStringLiteral("3"));
        QCOMPARE(stored("General", "ChapterDirectory"), folder);
        QVERIFY(!QFileInfo::exists(runFolder));
    }

    void vanishedFolderIsForgottenAtShutDown()
    {
        const QString folder = series(QStringLiteral("books"));
        store("General", "ChapterDirectory", folder);
        start();
        QVERIFY(QDir(folder).removeRecursively());
        w->close();
        QCOMPARE(stored("General", "ChapterDirectory"), QString());
        // The next start is a first run: no boxes, no history.
        start();
        QVERIFY(prompts->shown.isEmpty());
        QCOMPARE(w->cboPagoraDir->count(), 0);
        QVERIFY(!w->cboChapters->isEnabled());
    }

    void closingWithNoFolderStoresNoChapter()
    {
        start();
        w->close();
        QCOMPARE(stored("General", "LastChapter"), QString());
        QCOMPARE(stored("General", "LastPage"), QStringLiteral("0"));
        QCOMPARE(stored("General", "ChapterDirectory"), QString());
    }

    void typingAFolder()
    {
        const QString a = series(QStringLiteral("a")), b = series(QStringLiteral("b"));
        store("General", "ChapterDirectory", a);
        start();
        QCOMPARE(historyOf(w->cboPagoraDir), QStringList{a});
        // The current folder again, with or without "/": nothing changes.
        w->cboChapters->setCurrentIndex(1);
        typeFolder(a.chopped(1));
        QCOMPARE(w->cboPagoraDir->currentText(), a);
        QCOMPARE(w->cboChapters->currentIndex(), 1);
        // A new folder joins the end of the history and opens at its start.
        typeFolder(b.chopped(1));
        QCOMPARE(w->PagoraFolder, b);
        QCOMPARE(historyOf(w->cboPagoraDir), (QStringList{a, b}));
        QCOMPARE(w->cboChapters->currentIndex(), 0);
        QCOMPARE(w->PageIndex, qint16(1));
        w->cboChapters->setCurrentIndex(2);
        w->PageIndex = 5;
        w->ShowPage(w->PageIndex);
        // Back to the first folder by picking it, then to the second: each
        // resumes where it was left.
        w->cboPagoraDir->setCurrentIndex(0);
        emit w->cboPagoraDir->activated(0);
        QCOMPARE(w->PagoraFolder, a);
        QCOMPARE(w->cboChapters->currentIndex(), 1);
        w->cboPagoraDir->setCurrentIndex(1);
        emit w->cboPagoraDir->activated(1);
        QCOMPARE(w->cboChapters->currentText(), QStringLiteral("Ch003"));
        QCOMPARE(w->PageIndex, qint16(5));
        // Picking the current folder changes nothing.
        w->cboChapters->setCurrentIndex(0);
        emit w->cboPagoraDir->activated(1);
        QCOMPARE(w->cboChapters->currentIndex(), 0);
        QVERIFY(prompts->shown.isEmpty());
    }

    void savedPositionsRestore_data()
    {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("chapter");
        QTest::addColumn<int>("page");
        QTest::newRow("with the blank") << "Ch002^^ 5" << "Ch002" << 5;
        QTest::newRow("without the blank") << "Ch002^^5" << "Ch002" << 5;
        QTest::newRow("chapter in other case") << "ch002^^ 5" << "Ch001" << 5;
        QTest::newRow("no separator") << "Ch002" << "Ch002" << 1;
        QTest::newRow("page out of range") << "Ch002^^ 99999" << "Ch002" << 1;
    }
    void savedPositionsRestore()
    {
        QFETCH(QString, saved);
        QFETCH(QString, chapter);
        QFETCH(int, page);
        const QString b = series(QStringLiteral("b"));
        store("PagoraDirs", b, saved);
        start();
        typeFolder(b);
        QCOMPARE(w->cboChapters->currentText(), chapter);
        QCOMPARE(int(w->PageIndex), page);
        QCOMPARE(w->lblPage->text(), QStringLiteral("Page %1 of 6").arg(page));
    }

    void invalidFoldersEmptyTheViewAndKeepTheBox_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("typed, missing") << "typed";
        QTest::newRow("typed, no chapters") << "empty";
        QTest::newRow("picked, vanished") << "picked";
    }
    void invalidFoldersEmptyTheViewAndKeepTheBox()
    {
        QFETCH(QString, how);
        const QString a = series(QStringLiteral("a")), b = series(QStringLiteral("b"));
        store("PagoraDirs", b, "Ch001^^ 2");
        store("General", "ChapterDirectory", a);
        start();
        QString text;
        if (how == "typed") {
            text = root + QStringLiteral("/nowhere/");
            typeFolder(text);
        } else if (how == "empty") {
            text = root + QStringLiteral("/bare/");
            QDir().mkpath(text);
            typeFolder(text);
        } else {
            text = b;
            QVERIFY(QDir(b).removeRecursively());
            w->cboPagoraDir->setCurrentIndex(1);
            emit w->cboPagoraDir->activated(1);
        }
        QCOMPARE(titles(*prompts), QStringList{QStringLiteral("Invalid Directory")});
        QCOMPARE(prompts->shown.first().message.text, QStringLiteral("Please specify a valid directory"));
        QVERIFY(!w->cboChapters->isEnabled());
        QVERIFY(!w->RCMenu->isEnabled());
        QVERIFY(w->Image1->picture().isNull());
        QCOMPARE(w->cboPagoraDir->currentText(), text);
        QCOMPARE(historyOf(w->cboPagoraDir), (QStringList{a, b}));
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
        QTimer::singleShot(0, this, [b] {
            auto *dialog = qobject_cast<frmBrowse *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<DirListBox *>(QStringLiteral("Dir1"))->setPath(b);
            dialog->cmdOk_Click();
        });
        w->cmdBrowse_Click();
        QCOMPARE(w->PagoraFolder, b);
        QCOMPARE(historyOf(w->cboPagoraDir), (QStringList{a, b}));
        QCOMPARE(w->cboPagoraDir->currentText(), b);
        QCOMPARE(w->cboChapters->currentText(), inHistory ? QStringLiteral("Ch003") : QStringLiteral("Ch001"));
        QCOMPARE(int(w->PageIndex), inHistory ? 4 : 1);
        QVERIFY(w->cboChapters->isEnabled());
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
        if (exists) {
            QCOMPARE(w->PagoraFolder, b);
            QCOMPARE(w->cboChapters->currentText(), QStringLiteral("Ch002"));
            QCOMPARE(w->PageIndex, qint16(3));
            QVERIFY(prompts->shown.isEmpty());
        } else {
            QCOMPARE(titles(*prompts), QStringList{QStringLiteral("Invalid Directory")});
            QVERIFY(w->isVisible());
        }
    }
};

PAGORA_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
