// The settings store: values come back as written, keys once each, refused writes kept.
#include "settings/SettingsStore.h"

#include "SeriesFixtures.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QtTest>

using Pairs = QList<QPair<QString, QString>>;
static const QString Dirs = SettingsStore::FolderSection;

class TestSettingsStore : public QObject {
    Q_OBJECT

    QString ini;

    // A fresh config home; with `copy`, holding a copy of the last file, so the next store
    // reads the bytes on disk rather than what this run's stores share.
    void newHome(bool copy)
    {
        const QString home = TestEnvironment::freshFolder("config"), old = ini;
        ini = home + "/SorvikViewer/SorvikViewer.ini";
        QVERIFY(qputenv("XDG_CONFIG_HOME", home.toLocal8Bit()));
        QVERIFY(!copy || (QDir().mkpath(home + "/SorvikViewer") && QFile::copy(old, ini)));
    }

private slots:
    void init() { newHome(false); }

    // Folders beside ones their keys must not run into; values with text that must survive.
    void valuesComeBackThroughTheFile()
    {
        const QStringList folders = QString("/u/Comics/|/u/Comics|/a/Foo/|/a/foo/|"
                                            "/u/My Comics/1=2;x%y/Ünï 漫画/|/u/My Comics/1=2;x%y/|"
                                            "/c/50%2F50/|/c/50/50/|/c/a\\b/|/c/a/b/")
                                        .split('|');
        const QStringList values = {"Ch002^^ 5", "x", "a, b", "\"q\" x", "line1\nline2"};
        Pairs written;
        SettingsStore store;
        for (int i = 0; i < folders.size(); ++i) {
            written << QPair(folders[i], values[i / 2] + QString::number(i));
            store.write(Dirs, folders[i], written.last().second);
        }
        store.write("General", "value", values.join('|'));
        store.write("", "Key", "x"); // empty names are dropped
        store.write("General", "", "x");
        QCOMPARE(SettingsStore().read("GENERAL", "Value", {}), values.join('|')); // shared unsaved
        QVERIFY(!QFile::exists(ini) && store.sync() && QFile::exists(ini));
        newHome(true);
        SettingsStore reopened;
        Pairs listed = reopened.list(Dirs);
        std::sort(listed.begin(), listed.end()), std::sort(written.begin(), written.end());
        QCOMPARE(listed, written);
        QCOMPARE(reopened.list("General"), Pairs({{"value", values.join('|')}}));
        QCOMPARE(reopened.read("Missing", "Key", "d") + reopened.read("", "Key", "d"), "dd");
    }

    void eachKeyOnceFirstSpellingKept()
    {
        // Hand-edited: twins in two cases, an unquoted comma, a folder also under an unused escape.
        SeriesFixtures::writeBytes(ini, "[General]\nlastpage=old\nZoom=2\nLastPage=older\nA=1, 2\n"
                                        "[PagoraDirs]\n%252Fc%252F=1\n%252fc%252f=2\n");
        SettingsStore store;
        QCOMPARE(store.list(Dirs), Pairs({{"/c/", "1"}}));
        QCOMPARE(store.read("General", "a", {}) + store.read("GENERAL", "lastPage", {}),
                 "1, 2older");
        store.write("General", "LASTPAGE", "new");
        const Pairs listed = store.list("General");
        QCOMPARE(listed, Pairs({{"A", "1, 2"}, {"LastPage", "new"}, {"Zoom", "2"}}));
        store.sync();
        newHome(true);
        QCOMPARE(SettingsStore().list("General"), listed);
    }

    // A folder where the file goes, or a file where its folder goes.
    void refusedWritesAreKeptForTheRun()
    {
        for (bool folderInPlace : {true, false}) {
            newHome(false);
            const QString obstacle = folderInPlace ? ini : QFileInfo(ini).absolutePath();
            QVERIFY(folderInPlace ? QDir().mkpath(obstacle)
                                  : QFile(obstacle).open(QIODevice::WriteOnly));
            QString why;
            SettingsStore().write(Dirs, "/c/Ünï/", "4");
            QVERIFY(!SettingsStore().sync(&why));
            QCOMPARE(why, folderInPlace ? "a folder is in its place"
                                        : "a file is in the place of its folder");
            QVERIFY(!SettingsStore().sync()); // tried again, still refused, nothing lost
            QVERIFY(folderInPlace ? QDir(obstacle).removeRecursively() : QFile::remove(obstacle));
            QVERIFY(SettingsStore().sync() && SettingsStore().sync());
            newHome(true);
            QCOMPARE(SettingsStore().read(Dirs, "/c/Ünï/", {}), "4");
        }
    }
};

PAGORA_TEST_MAIN(TestSettingsStore)
#include "tst_settings.moc"
