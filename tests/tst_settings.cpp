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

    QString ini = TestEnvironment::settingsFile();

    // A fresh config home; with `copy`, holding a copy of the last file, read from disk anew.
    void newHome(bool copy)
    {
        const QString home = TestEnvironment::freshFolder("config"), old = ini;
        ini = home + "/SorvikViewer/SorvikViewer.ini";
        QVERIFY(qputenv("XDG_CONFIG_HOME", home.toLocal8Bit()));
        QVERIFY(!copy || (QDir().mkpath(home + "/SorvikViewer") && QFile::copy(old, ini)));
    }

private slots:
    // Over a hand-edited file: folder keys that must not run into each other, values that survive.
    void valuesComeBackThroughTheFile()
    {
        SeriesFixtures::writeBytes(ini, "[General]\nlastpage=old\nZoom=2\nLastPage=older\nA=1, 2\n"
                                        "[PagoraDirs]\n%252Fc%252F=1\n%252fc%252f=2\n"); // twins
        const QStringList folders = QString("/u/Comics/|/u/Comics|/a/Foo/|/a/foo/|"
                                            "/u/My Comics/1=2;x%y/Ünï 漫画/|/u/My Comics/1=2;x%y/|"
                                            "/c/50%2F50/|/c/50/50/|/c/a\\b/|/c/a/b/")
                                        .split('|');
        const QString values = "Ch002^^ 5|x|a, b|\"q\" x|line1\nline2";
        Pairs written = {{"/c/", "1"}}; // not its twin under an escape the store does not make
        SettingsStore run;
        QCOMPARE(run.read("General", "a", {}) + run.read("GENERAL", "lastPage", {}), "1, 2older");
        for (int i = 0; i < folders.size(); ++i) {
            written << std::pair(folders[i],
                                 values.section('|', i / 2, i / 2) + QString::number(i));
            run.write(Dirs, folders[i], written.last().second);
        }
        run.write("General", "value", values), run.write("General", "LASTPAGE", "new");
        run.write("", "Key", "x"), run.write("General", "", "x"); // empty names are dropped
        QVERIFY(!SeriesFixtures::fileContent(ini).contains("value") && run.sync()); // unsaved
        newHome(true);
        Pairs listed = SettingsStore().list(Dirs);
        std::sort(listed.begin(), listed.end()), std::sort(written.begin(), written.end());
        QCOMPARE(listed, written);
        QCOMPARE(SettingsStore().list("General"),
                 Pairs({{"A", "1, 2"}, {"LastPage", "new"}, {"Zoom", "2"}, {"value", values}}));
        QCOMPARE(run.read("Missing", "Key", "d") + run.read("", "Key", "d"), "dd");
    }

    // A folder where the file goes (the other obstacles and their reasons: tst_badinput).
    void refusedWritesAreKeptForTheRun()
    {
        newHome(false);
        QVERIFY(QDir().mkpath(ini));
        QString why;
        SettingsStore().write(Dirs, "/c/Ünï/", "4");
        QCOMPARE(SettingsStore().sync(&why) ? "saved" : why, "a folder is in its place");
        QVERIFY(!SettingsStore().sync()); // tried again, still refused, nothing lost
        QVERIFY(QDir(ini).removeRecursively());
        QVERIFY(SettingsStore().sync() && SettingsStore().sync());
        newHome(true);
        QCOMPARE(SettingsStore().read(Dirs, "/c/Ünï/", {}), "4");
    }
};

PAGORA_TEST_MAIN(TestSettingsStore)
#include "tst_settings.moc"
