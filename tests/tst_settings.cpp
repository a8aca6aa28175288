#include "settings/SettingsStore.h"

#include "TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QtTest>

using namespace Qt::StringLiterals;
using Pairs = QList<QPair<QString, QString>>;

namespace {

const QString General = u"General"_s;
const QString Dirs = SettingsStore::FolderSection;

QString iniUnder(const QString &configHome, const QString &application = u"SorvikViewer"_s)
{
    return configHome + u'/' + application + u'/' + application + u".ini"_s;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Pairs sorted(Pairs pairs)
{
    std::sort(pairs.begin(), pairs.end());
    return pairs;
}

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT

    QString m_configHome;

    QString ini() const { return iniUnder(m_configHome); }

    // Every store on a file shares what it parsed for the whole run; a copy
    // under a new config home makes the next store parse the bytes on disk.
    bool moveToCopyOfFile()
    {
        const QString home = TestEnvironment::freshFolder(u"copy"_s);
        QDir().mkpath(home + u"/SorvikViewer"_s);
        if (!QFile::copy(ini(), iniUnder(home)))
            return false;
        m_configHome = home;
        qputenv("XDG_CONFIG_HOME", home.toLocal8Bit());
        return true;
    }

private slots:
    void initTestCase()
    {
        // The store must not lean on the application's names.
        QCoreApplication::setOrganizationName(u"Unused"_s);
        QCoreApplication::setApplicationName(u"Unused"_s);
    }

    void init()
    {
        m_configHome = TestEnvironment::freshFolder(u"config"_s);
        qputenv("XDG_CONFIG_HOME", m_configHome.toLocal8Bit());
    }

    void fileFallsBackToHomeConfig()
    {
        // Without XDG_CONFIG_HOME, or with a relative one, ~/.config is used.
        const QByteArray savedHome = qgetenv("HOME");
        const QString home = TestEnvironment::freshFolder(u"home"_s);
        qputenv("HOME", home.toLocal8Bit());
        for (const char *configHome : {"", "relative/config"}) {
            qputenv("XDG_CONFIG_HOME", configHome);
            QCOMPARE(SettingsStore(u"Other"_s).fileName(),
                     iniUnder(home + u"/.config"_s, u"Other"_s));
        }
        qputenv("HOME", savedHome);
    }

    void roundTripPersistsAndMissingGivesDefaults()
    {
        {
            SettingsStore store;
            QCOMPARE(store.fileName(), ini());
            store.write(General, u"LastPage"_s, u"9"_s);
            store.write(QString(), u"Key"_s, u"x"_s); // empty names are dropped
            store.write(General, QString(), u"x"_s);
            QCOMPARE(store.read(General, u"LastPage"_s, {}), u"9"_s);
        }
        SettingsStore later; // another store of the run, before anything is saved
        QCOMPARE(later.read(General, u"LastPage"_s, {}), u"9"_s);
        QVERIFY(!QFile::exists(ini()));
        later.sync();
        QVERIFY(fileBytes(ini()).startsWith("[General]\nLastPage=9\n"));
        QVERIFY(moveToCopyOfFile());
        SettingsStore reopened;
        QCOMPARE(reopened.list(General), Pairs({{u"LastPage"_s, u"9"_s}}));
        QCOMPARE(reopened.read(General, u"Zoom"_s, u"d"_s), u"d"_s);
        QCOMPARE(reopened.read(u"Missing"_s, u"Key"_s, u"d"_s), u"d"_s);
        QCOMPARE(reopened.read(QString(), u"Key"_s, u"d"_s), u"d"_s);
        QVERIFY(reopened.list(u"Missing"_s).isEmpty());
    }

    void keysMatchIgnoringCaseOutsideFolderSection_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("otherCase");
        QTest::addColumn<bool>("sameKey");
        QTest::newRow("General") << "General" << "LastPage" << "Lastpage" << true;
        QTest::newRow("own section") << "Other" << "Zoom" << "ZOOM" << true;
        QTest::newRow("folders match exactly") << "PagoraDirs" << "/a/Foo/" << "/a/foo/" << false;
    }

    void keysMatchIgnoringCaseOutsideFolderSection()
    {
        QFETCH(QString, section);
        QFETCH(QString, written);
        QFETCH(QString, otherCase);
        QFETCH(bool, sameKey);
        SettingsStore store;
        store.write(section, written, u"1"_s);
        QCOMPARE(store.read(section, otherCase, u"none"_s), sameKey ? u"1"_s : u"none"_s);
        store.write(section, otherCase, u"2"_s);
        // The first spelling stays, as one key with the last value.
        const Pairs expected = sameKey ? Pairs{{written, u"2"_s}}
                                       : Pairs{{written, u"1"_s}, {otherCase, u"2"_s}};
        QCOMPARE(sorted(store.list(section)), expected);
        store.sync();
        QVERIFY(moveToCopyOfFile());
        QCOMPARE(sorted(SettingsStore().list(section)), expected);
    }

    void foldersAndValuesRoundTripThroughTheFile_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("neighbour"); // a folder the key must not run into
        QTest::addColumn<QString>("value");
        QTest::newRow("plain, page mark") << "/home/u/Comics/" << "/home/u/Comics" << "Ch002^^ 5";
        QTest::newRow("spaces = ; % non-ASCII, comma")
            << "/home/u/My Comics/One=Two;x%y/Ünï 漫画/" << "/home/u/My Comics/One=Two;x%y/"
            << "a, b";
        QTest::newRow("an escape written out, quotes") << "/c/50%2F50/" << "/c/50/50/" << "\"q\" x";
        QTest::newRow("backslash, newline") << "/c/a\\b/" << "/c/a/b/" << "line1\nline2";
    }

    void foldersAndValuesRoundTripThroughTheFile()
    {
        QFETCH(QString, folder);
        QFETCH(QString, neighbour);
        QFETCH(QString, value);
        {
            SettingsStore store;
            store.write(Dirs, folder, value);
            store.write(Dirs, neighbour, u"other"_s);
            store.write(General, u"Value"_s, value);
            store.sync();
        }
        QVERIFY(moveToCopyOfFile());
        SettingsStore reopened;
        QCOMPARE(reopened.read(Dirs, folder, {}), value);
        QCOMPARE(reopened.read(Dirs, neighbour, {}), u"other"_s);
        QCOMPARE(sorted(reopened.list(Dirs)), sorted({{folder, value}, {neighbour, u"other"_s}}));
        QCOMPARE(reopened.list(General), Pairs({{u"Value"_s, value}}));
    }

    void listGivesEachKeyOnceInAStableOrder()
    {
        // Hand-edited: twins in two cases, an unquoted comma, and a folder also under an
        // escape we never write.
        writeFile(ini(), "[General]\nlastpage=old\nZoom=2\nLastPage=older\nA=1, 2\nzoom=3\n"
                         "[PagoraDirs]\n%252Fc%252F=1\n%252fc%252f=2\n");
        SettingsStore store;
        QCOMPARE(store.list(Dirs), Pairs({{u"/c/"_s, u"1"_s}}));
        QCOMPARE(store.read(General, u"a"_s, {}), u"1, 2"_s);
        const Pairs listed = store.list(General);
        QCOMPARE(listed.size(), 3);
        for (const auto &[key, value] : listed) // what list shows is what read gives
            QCOMPARE(store.read(General, key.toUpper(), {}), value);

        store.write(General, u"LASTPAGE"_s, u"new"_s);
        store.write(General, u"b"_s, u"4"_s);
        const Pairs before = store.list(General);
        QCOMPARE(before.size(), 4);
        store.sync();
        QVERIFY(moveToCopyOfFile());
        QCOMPARE(SettingsStore().list(General), before);
        QCOMPARE(fileBytes(ini()).toLower().count("lastpage="), 1);
    }

    void unwritableFileKeepsWritesForTheRun()
    {
        QVERIFY(QDir().mkpath(ini())); // a folder where the file should be
        {
            SettingsStore store;
            QCOMPARE(store.read(General, u"LastPage"_s, u"d"_s), u"d"_s);
            store.write(General, u"LastPage"_s, u"Ch002^^ 5"_s);
            store.write(Dirs, u"/c/Ünï code/"_s, u"4"_s);
            store.sync();
            QCOMPARE(store.status(), QSettings::AccessError);
        }
        SettingsStore later;
        later.sync(); // tried again, still refused, nothing lost
        QCOMPARE(later.read(Dirs, u"/c/Ünï code/"_s, {}), u"4"_s);
        QCOMPARE(later.list(General), Pairs({{u"LastPage"_s, u"Ch002^^ 5"_s}}));
        QVERIFY(QFileInfo(ini()).isDir());
    }

    void damagedFileKeepsWhatCanBeRead_data()
    {
        QTest::addColumn<QByteArray>("damage");
        QTest::newRow("line without =") << QByteArray("no equals here");
        QTest::newRow("section without ]") << QByteArray("[Broken\nX=1");
        QTest::newRow("NUL bytes") << QByteArray(3, '\0');
    }

    void damagedFileKeepsWhatCanBeRead()
    {
        QFETCH(QByteArray, damage);
        writeFile(ini(), "[General]\nGood=yes\n" + damage + "\n[Other]\nAfter=ok\n");
        SettingsStore store;
        QCOMPARE(store.status(), QSettings::FormatError);
        QCOMPARE(store.read(General, u"X"_s, u"d"_s), u"d"_s);
        // New writes are saved over the damage, next to what was readable.
        store.write(General, u"New"_s, u"1"_s);
        store.sync();
        QVERIFY(moveToCopyOfFile());
        SettingsStore reopened;
        QCOMPARE(reopened.list(General), Pairs({{u"Good"_s, u"yes"_s}, {u"New"_s, u"1"_s}}));
        QCOMPARE(reopened.read(u"Other"_s, u"After"_s, {}), u"ok"_s);
        QCOMPARE(reopened.status(), QSettings::NoError);
    }
};

PAGORA_TEST_MAIN(TestSettingsStore)
#include "tst_settings.moc"
