// Hostile inputs on the real window, one row per fault path, each held to the same rules: the
// one box shown names the reason; a good series still opens and turns its page afterwards;
// nothing new appears outside the settings folder and the run's private folder (no TempImage.*
// elsewhere, nothing in "/"); the position saved for another series stays. Then the passwords.
#include "ScriptedPrompts.h"
#include "SeriesFixtures.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "ZipFixtures.h"
#include "app/frmMain.h"
#include "archive/modUnZip.h"
#include "platform/PictureControls.h"
#include "settings/SettingsStore.h"

#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <zip.h>

using Make = std::function<void()>;
Q_DECLARE_METATYPE(Make)

using namespace SeriesFixtures;
using namespace WindowFixtures;
namespace zf = ZipFixtures;

namespace {

// A 100 x 150 page in the format ("JPG", "PNG", "GIF", "BMP").
QByteArray picture(const char *format, QSize size = QSize(100, 150))
{
    const QString path = TestEnvironment::freshFolder("picture") + "/page";
    return writePage(path, size, Qt::darkCyan, format), fileContent(path);
}

// Every entry under the root but the skipped folders, with what shows a change (a link's
// target, a file's size and time), and the entries of "/".
QStringList listing(const QStringList &skipped)
{
    QStringList lines = QDir("/").entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
    QDirIterator it(TestEnvironment::root(), QDir::AllEntries | QDir::Hidden | QDir::System
                    | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        const QString path = entry.filePath();
        const QString time = entry.lastModified().toString(Qt::ISODateWithMs);
        if (std::none_of(skipped.begin(), skipped.end(), [&](const QString &s) {
                return !s.isEmpty() && (path + '/').startsWith(s);
            }))
            lines << path + (entry.isSymLink() ? " -> " + entry.symLinkTarget()
                             : entry.isFile()  ? QString(" %1 %2").arg(entry.size()).arg(time)
                                               : QString());
    }
    return lines.sort(), lines;
}

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> w;
    ScriptedPrompts *prompts = nullptr;
    QString series, config, good, other;
    QByteArray settings; // opens `good` at start-up and holds `other`'s position
    QByteArray jpg;      // a good page

    QString ini() const { return config + "/SorvikViewer/SorvikViewer.ini"; }
    // Types the folder into the folder box, leaves the box, and chooses the chapter.
    void open(const QString &folder, const QString &chapter)
    {
        control<QComboBox>(*w, "cboPagoraDir")->setFocus();
        control<QComboBox>(*w, "cboPagoraDir")->setEditText(folder);
        control<QPushButton>(*w, "cmdBrowse")->setFocus();
        auto *chapters = control<QComboBox>(*w, "cboChapters");
        chapters->setCurrentIndex(chapters->findText(chapter)); // -1 when not listed
    }

    // Builders for the rows, in the row's series: chapter "Ch" is a folder, "Ch.zip" an archive.
    Make file(const QString &name, const QByteArray &bytes)
    {
        return [=, this] { writeBytes(series + '/' + name, bytes); };
    }
    // A link to `target`, or a pipe when there is none; a good page beside it when asked.
    Make special(const QString &name, const QString &target, bool goodPage = false)
    {
        return [=, this] {
            QVERIFY(QDir().mkpath(QFileInfo(series + '/' + name).path()));
            if (goodPage)
                writeBytes(series + "/Ch/a.jpg", picture("JPG"));
            QVERIFY(target.isEmpty() ? mkfifo(QFile::encodeName(series + '/' + name), 0600) == 0
                                     : QFile::link(target, series + '/' + name));
        };
    }
    Make zip(const QList<zf::Member> &members,
             const std::function<bool(const QString &)> &patch = {})
    {
        return [=, this] {
            QVERIFY(zf::write(series + "/Ch.zip", members));
            QVERIFY(!patch || patch(series + "/Ch.zip"));
        };
    }
    // Three pages encrypted with the password; the question is answered as given ("?": with
    // a password that passes the check byte of traditional encryption, then fails).
    Make locked(int method, const QString &answer, const QByteArray &password = "sesame")
    {
        return [=, this] {
            QList<zf::Member> pages;
            for (const char *name : {"01.jpg", "02.jpg", "03.jpg"})
                (pages << zf::encrypted(name, quint16(method), password)).last().content = jpg;
            zip(pages)();
            const QString typed = answer != "?" ? answer
                : zf::passwordPassingCheck(series + "/Ch.zip", "01.jpg", password);
            prompts->inputAnswers.enqueue({!typed.isEmpty(), typed});
        };
    }
    // A member of 90,000 bytes declaring `size`, or garbled when it declares nothing.
    Make lying(quint32 size = 0)
    {
        return zip({zf::file("p.jpg", QByteArray(90000, 'z'))}, [size](const QString &z) {
            return size ? zf::setDeclaredSize(z, "p.jpg", size) : zf::damageData(z, "p.jpg");
        });
    }

private slots:
    void initTestCase()
    {
        frmMain::RemovableMediaFolders = [] { return QStringList(); };
        good = TestEnvironment::freshFolder("good") + '/';
        other = TestEnvironment::freshFolder("other") + '/'; // its place is all that counts
        makeFolderChapter(good, "Ch001", {"1.jpg", "2.jpg"}, QSize(40, 60)); // opened first
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(TestEnvironment::freshFolder("scratch")));
        SettingsStore store;
        store.write("General", "ChapterDirectory", good);
        store.write(SettingsStore::FolderSection, other, "Ch001^^ 3");
        QVERIFY(store.sync());
        settings = fileContent(store.fileName());
        jpg = picture("JPG");
    }
    void init()
    {
        prompts = ScriptedPrompts::install();
        modUnZip::ZipPasswordCancelled = 0;
        series = TestEnvironment::freshFolder("series");
        config = TestEnvironment::freshFolder("config");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    }
    void cleanup() { w.reset(), Prompts::install(nullptr); }

    void badInput_data()
    {
        QTest::addColumn<Make>("make");
        QTest::addColumn<QString>("view"); // the caption at the chapter's last page; empty: none
        QTest::addColumn<QStringList>("boxes"); // "title: reason" of each box shown
        const auto box = [](const QString &reason) {
            return QStringList{"Error Accessing Page: " + reason};
        };
        const QStringList invalid = box("Error message was: 481 Invalid picture"), none;
        const QString one = "Page 1 of 1", two = "Page 2 of 2", three = "Page 3 of 3";
        const auto cut = [](const QByteArray &bytes) { return bytes.left(bytes.size() / 2); };
        QByteArray huge = jpg; // a small page whose header declares 60000 x 60000 pixels
        qToBigEndian(quint16(60000), huge.data() + huge.indexOf("\xFF\xC0") + 5);
        qToBigEndian(quint16(60000), huge.data() + huge.indexOf("\xFF\xC0") + 7);

        QTest::newRow("truncated jpeg") << file("Ch/p.jpg", cut(jpg)) << one << invalid;
        QTest::newRow("truncated gif, shown in part")
            << file("Ch/p.gif", cut(picture("GIF"))) << one << none;
        QTest::newRow("zero-byte bmp") << file("Ch/p.bmp", "") << one << invalid;
        QTest::newRow("jpeg of 60000 x 60000") << file("Ch/p.jpg", huge) << one
                                               << box("7 Out of memory");
        QTest::newRow("pipe named like a page, skipped") << special("Ch/b.jpg", "", true) << one
                                                         << none;
        QTest::newRow("link to /dev/zero") << special("Ch/b.jpg", "/dev/zero") << one << invalid;
        // Stands in for a chapter without read permission: no chapter, so no series.
        const QStringList noSeries{"Invalid Directory: Please specify a valid directory"};
        QTest::newRow("chapter, a dangling link") << special("Ch", "/nowhere") << "" << noSeries;

        QTest::newRow("text, not a zip") << file("Ch.zip", "text") << "" << box("not a zip");
        QTest::newRow("zip without pages") << zip({zf::file("readme")}) << "" << none;
        QTest::newRow("pipe named .zip") << special("Ch.zip", "") << "" << noSeries;
        const zf::Member big = zf::file("p.bmp", picture("BMP", QSize(2000, 2000))); // 12 MB
        QTest::newRow("member over the first read buffer") << zip({big}) << one << none;
        QTest::newRow("empty member") << zip({zf::file("p.jpg", "")}) << one << invalid;
        QTest::newRow("garbled member") << lying() << one << box("damaged member");
        QTest::newRow("declares less") << lying(1000) << one << box("more data than its declared");
        QTest::newRow("declares more") << lying(200000) << one << box("instead of the declared");
        QTest::newRow("zip bomb: over 512 MiB") << lying(629145600) << one << box("too large");
        QTest::newRow("symbolic link member") << zip({zf::symlink("p.jpg", "/etc/passwd")}) << one
                                              << box("(refused: symbolic link)");
        // A name that would reach out of the run's folder: read, and written only inside it.
        QTest::newRow("../ member") << zip({zf::file("../../p.jpg", jpg)}) << one << none;
        // Page 1 is read as exactly that name, not as a pattern matching page 2 after it.
        const zf::Member noPicture = zf::file("b.jpg", "no picture");
        QTest::newRow("*.jpg member") << zip({zf::file("*.jpg", jpg), noPicture}) << two << invalid;
        QTest::newRow("TAB in a member's name: left out, or it would split in the page list")
            << zip({zf::file("a\tb.jpg", "no picture"), zf::file("c.jpg", jpg)}) << one << none;
        // libzip writes no two members of one name: the second is renamed in place.
        QTest::newRow("duplicate names") << zip({zf::file("a.jpg", jpg), noPicture}, [](auto z) {
            return zf::writeBytes(z, fileContent(z).replace("b.jpg", "a.jpg"));
        }) << two << none;
        // No private run folder, no room in it: the page's box gives the system's reason.
        QTest::newRow("TMPDIR a file") << Make([this] {
            zip({zf::file("p.jpg", jpg)})();
            writeBytes(series + "/tmp", "a file");
            qputenv("TMPDIR", QFile::encodeName(series + "/tmp"));
        }) << one << box("Not a directory");
        QTest::newRow("disk full (the file size limit stands in)") << Make([this, big] {
            zip({big})();
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit small{1 << 20, RLIM_INFINITY};
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        }) << one << box("File too large");

        // The password is asked once per chapter; after a wrong one, again at the next page;
        // once cancelled, never again. Only the first 256 bytes count, never half a character.
        const QStringList ask{"Pagora Viewer: Please Enter The Password!"};
        const QStringList wrong = box("  wrong password"), declined = box("no password given");
        const int aes = ZIP_EM_AES_256, pkware = ZIP_EM_TRAD_PKWARE;
        QTest::newRow("traditional") << locked(pkware, "sesame") << three << ask;
        QTest::newRow("aes") << locked(aes, "sesame") << three << ask;
        const QString longAnswer = "a" + QString(200, QChar(0xe9));
        QTest::newRow("long password")
            << locked(aes, longAnswer, longAnswer.toUtf8().left(255)) << three << ask;
        QTest::newRow("wrong") << locked(aes, "wrong") << three
                               << ask + wrong + ask + declined + declined;
        QTest::newRow("wrong, passing the check byte")
            << locked(pkware, "?") << three
            << ask + box("wrong password or damaged member") + ask + declined + declined;
        QTest::newRow("cancelled") << locked(aes, "") << three
                                   << ask + declined + declined + declined;

        // Start-up opens `good` from what can be read; an unusable file is told at the first
        // page saved. A pipe must not be opened: the program would wait for a writer.
        QByteArray noise(4096, 0);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), 1024);
        QTest::newRow("settings: garbage") << Make([this, noise] {
            writeBytes(ini(), noise + "\n[Broken\n=\\\\\n" + settings);
        }) << "Page 1 of 2" << none;
        const auto notSaved = [](const QString &why) {
            return QStringList{"Settings Not Saved: " + why};
        };
        QTest::newRow("settings: a folder as the file")
            << Make([this] { QVERIFY(QDir().mkpath(ini())); }) << ""
            << notSaved("a folder is in its place");
        QTest::newRow("settings: a file as the folder")
            << Make([this] { writeBytes(config + "/SorvikViewer", "x"); }) << ""
            << notSaved("a file is in the place of its folder");
        QTest::newRow("settings: a pipe as the file") << Make([this] {
            QVERIFY(QDir().mkpath(config + "/SorvikViewer"));
            QVERIFY(mkfifo(QFile::encodeName(ini()), 0600) == 0);
        }) << "" << notSaved("it is not a regular file");
    }
    void badInput()
    {
        QFETCH(Make, make);
        QFETCH(QString, view);
        QFETCH(QStringList, boxes);
        const QByteArray tmp = qgetenv("TMPDIR"); // rows may change these two until opened
        rlimit fileSize{};
        ::getrlimit(RLIMIT_FSIZE, &fileSize);
        make();
        // The chapter the row made, a pipe or a broken link too; none: start-up alone.
        const QString chapter =
            QDir(series).entryList({"Ch*"}, QDir::AllEntries | QDir::System).value(0);
        if (!chapter.isEmpty())
            writeBytes(ini(), settings);
        const QString position = SettingsStore().read(SettingsStore::FolderSection, other, "-");
        const QStringList before = listing({config + '/'});

        w = std::make_unique<frmMain>();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        if (!chapter.isEmpty()) {
            open(series + '/', chapter);
            if (w->view().page > 0)
                goToPage(*w, w->view().pageCount);
        }
        qputenv("TMPDIR", tmp);
        ::setrlimit(RLIMIT_FSIZE, &fileSize);
        QCOMPARE(w->view().zipChapter, w->view().chapter.endsWith(".zip"));
        const auto *image = control<ImageControl>(*w, "Image1");
        // What the row left: the caption, a page or none, and each box with the reason it names.
        const bool shown = !view.isEmpty() && !boxes.value(boxes.size() - 1).startsWith("Error ");
        QStringList seen{control<QLabel>(*w, "lblPage")->text(),
                         image->picture().isNull() ? "no page" : "a page"};
        const QStringList expected = QStringList{view, shown ? "a page" : "no page"} + boxes;

        // Still answering: a good series opens and turns its page.
        open(good, "Ch001");
        goToPage(*w, 2);
        QCOMPARE(w->view().page, 2);
        QVERIFY(!w->view().zipChapter && !image->picture().isNull());

        for (const auto &box : prompts->shown) {
            seen << (box.isInput ? box.input.title + ": " + box.input.prompt
                                 : box.message.title + ": " + box.message.text);
            const QString want = expected.value(seen.size() - 1);
            if (seen.last().startsWith(want.section(": ", 0, 0) + ": ")
                && seen.last().contains(want.section(": ", 1)))
                seen.last() = want; // the reason named in the box's text
        }
        QCOMPARE(seen, expected);

        const QString runFolder = w->view().runFolder;
        QVERIFY(!listing({runFolder}).join('\n').contains("TempImage."));
        w.reset(); // what the run leaves at its end counts too
        QCOMPARE(listing({config + '/', runFolder}), before);
        SettingsStore().sync();
        QCOMPARE(SettingsStore().read(SettingsStore::FolderSection, other, "-"), position);
    }
};

PAGORA_TEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
