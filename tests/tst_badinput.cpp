// Hostile inputs on the real window, one row per fault path: the box shown names the reason, a good
// series still opens, nothing appears outside the settings and run folders, saved places stay.
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

// Every entry under the root outside the skipped folder, with what shows a change (a link's
// target, a file's size and time), and the entries of "/".
static QStringList listing(const QString &skipped)
{
    const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    QStringList list = QDir("/").entryList(all);
    QDirIterator it(TestEnvironment::root, all, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo e = it.nextFileInfo();
        list << e.filePath() + '/' + e.symLinkTarget();
        if (!e.isDir()) // a folder's own size and time change with what it holds
            list.last() += QString("%1 %2").arg(e.size()).arg(e.lastModified().toMSecsSinceEpoch());
    }
    list.removeIf([&](const QString &e) { return !skipped.isEmpty() && e.startsWith(skipped); });
    return list.sort(), list;
}

class TestBadInput : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> w;
    ScriptedPrompts *prompts = nullptr;
    QString row, series, config, archive, good, other;
    QByteArray settings, jpg, tmp; // the settings open `good` and hold `other`'s position
    rlimit fileSize{};

    // Types the folder into the folder box, leaves the box, chooses the chapter, goes to its end.
    void open(const QString &folder, const QString &chapter)
    {
        auto *box = control<QComboBox>(*w, "cboPagoraDir"),
             *chapters = control<QComboBox>(*w, "cboChapters");
        box->setFocus(), box->setEditText(folder), control<QWidget>(*w, "cmdBrowse")->setFocus();
        chapters->setCurrentIndex(chapters->findText(chapter)); // -1 when not listed
        goToPage(*w, w->view().page ? w->view().pageCount : 0);
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
        jpg = solidPage(QSize(100, 150), Qt::darkCyan);
        tmp = qgetenv("TMPDIR"), ::signal(SIGXFSZ, SIG_IGN), ::getrlimit(RLIMIT_FSIZE, &fileSize);
    }
    void cleanup() // rows may have changed TMPDIR and the file size limit
    {
        w.reset(), qputenv("TMPDIR", tmp), ::setrlimit(RLIMIT_FSIZE, &fileSize);
    }

    void badInput_data()
    {
        QTest::addColumn<Make>("make");
        QTest::addColumn<QString>("view"); // the caption at the chapter's last page; empty: none
        QTest::addColumn<QStringList>("boxes"); // "title: reason" of each box shown
        const auto box = [](QString why) { return QStringList{"Error Accessing Page: " + why}; };
        const QStringList invalid = box("Error message was: 481 Invalid picture"), none;
        const QString one = "Page 1 of 1", two = "Page 2 of 2", three = "Page 3 of 3";
        // Builders for the rows. A file in the row's series ("s/") or settings folder ("c/"); "|"
        // makes a pipe, "->target" a link. Chapter "Ch" is a folder, "Ch.zip" an archive.
        const auto file = [this](const QString &name, const QByteArray &bytes) {
            return Make([=, this] {
                const QString path = row + '/' + name;
                QDir().mkpath(QFileInfo(path).path());
                QVERIFY(bytes == "|"             ? !mkfifo(QFile::encodeName(path), 0600)
                        : bytes.startsWith("->") ? QFile::link(bytes.mid(2), path)
                                                 : (writeBytes(path, bytes), true));
            });
        };
        // An archive of the members, then `then` on its path when given.
        const auto zip = [this](QList<zf::Member> m, std::function<bool(QString)> then = {}) {
            return Make([=, this] { QVERIFY(zf::write(archive, m) && (!then || then(archive))); });
        };
        // A member of 90,000 bytes declaring `size`, or garbled when it declares nothing.
        const auto lying = [zip](quint32 size) {
            return zip({zf::file("p.jpg", QByteArray(90000, 'z'))}, [size](const QString &z) {
                return zf::patch(z, "p.jpg", size ? std::optional(size) : std::nullopt);
            });
        };
        const auto cut = [](const QByteArray &bytes) { return bytes.left(bytes.size() / 2); };
        QByteArray huge = jpg; // a small page whose header declares 60000 x 60000 pixels
        huge.replace(huge.indexOf("\xFF\xC0") + 5, 4, "\xEA\x60\xEA\x60");

        QTest::newRow("truncated jpeg") << file("s/Ch/p.jpg", cut(jpg)) << one << invalid;
        QTest::newRow("empty gif") << file("s/Ch/p.gif", "") << one << invalid;
        QTest::newRow("not a png") << file("s/Ch/p.png", "x") << one << invalid;
        const QByteArray gif = solidPage(QSize(100, 150), Qt::darkCyan, "GIF");
        QTest::newRow("cut gif, shown") << file("s/Ch/p.gif", gif.chopped(8)) << one << none;
        QTest::newRow("60000 x 60000") << file("s/Ch/p.jpg", huge) << one << box("7 Out of memory");
        const Make pipe = [=, this] { file("s/Ch/a.jpg", jpg)(), file("s/Ch/b.jpg", "|")(); };
        QTest::newRow("pipe named like a page, skipped") << pipe << one << none;
        QTest::newRow("link to /dev/zero") << file("s/Ch/b.jpg", "->/dev/zero") << one << invalid;
        // Stands in for a chapter without read permission: no chapter, so no series.
        const QStringList noSeries{"Invalid Directory: Please specify a valid directory"};
        QTest::newRow("chapter, a dangling link") << file("s/Ch", "->/nowhere") << "" << noSeries;

        QTest::newRow("text, not a zip") << file("s/Ch.zip", "text") << "" << box("not a zip");
        QTest::newRow("zip without pages") << zip({zf::file("readme")}) << "" << none;
        QTest::newRow("pipe named .zip") << file("s/Ch.zip", "|") << "" << noSeries;
        const zf::Member big = zf::file("p.bmp", solidPage({2000, 2000}, Qt::red, "BMP")); // 12 MB
        QTest::newRow("member over the first read buffer") << zip({big}) << one << none;
        QTest::newRow("empty member") << zip({zf::file("p.jpg", "")}) << one << invalid;
        QTest::newRow("garbled member") << lying(0) << one << box("damaged member");
        QTest::newRow("declares less") << lying(1000) << one << box("more data than its declared");
        QTest::newRow("declares more") << lying(200000) << one << box("instead of the declared");
        QTest::newRow("over 512 MiB") << lying(629145600) << one << box("too large");
        QTest::newRow("link") << zip({zf::symlink("p.jpg", "/etc/passwd")}) << one
                              << box("(refused: symbolic link)");
        QTest::newRow("../ member, kept in the run folder")
            << zip({zf::file("../../p.jpg", jpg)}) << one << none;
        // Page 1 is read as exactly that name, not as a pattern matching page 2 after it.
        const zf::Member page = zf::file("p.jpg", jpg), noPicture = zf::file("q.jpg", "none");
        QTest::newRow("*.jpg member") << zip({zf::file("*.jpg", jpg), noPicture}) << two << invalid;
        QTest::newRow("TAB, left out") << zip({zf::file("a\tb.jpg", ""), page}) << one << none;
        // libzip writes no two members of one name: the second is renamed in place.
        QTest::newRow("duplicate names") << zip({page, noPicture}, [](auto z) {
            return zf::writeBytes(z, fileContent(z).replace("q.jpg", "p.jpg"));
        }) << two << none;
        QTest::newRow("TMPDIR a file") << Make([=, this] {
            zip({page})(), file("s/tmp", "")(), qputenv("TMPDIR", (series + "/tmp").toUtf8());
        }) << one << box("Not a directory");
        const rlimit small{1 << 20, RLIM_INFINITY}; // stands in for a full disk
        QTest::newRow("disk full")
            << zip({big}, [small](auto) { return !::setrlimit(RLIMIT_FSIZE, &small); }) << one
            << box("File too large");

        // The password is asked once per chapter; after a wrong one, again at the next page;
        // once cancelled, never again. Only the first 256 bytes count, never half a character.
        const QStringList ask{"Pagora Viewer: Please Enter The Password!"};
        const QStringList declined = box("no password given"), twice = declined + declined;
        // Three pages locked with the password; the question is answered as given ("?": with a
        // password that passes the check byte of traditional encryption, then fails).
        const auto locked = [=, this](const QString &answer, const QByteArray &password = "key",
                                      quint16 method = ZIP_EM_AES_256) {
            zf::Member a = zf::encrypted("01.jpg", method, password), b = a, c = a;
            a.content = b.content = c.content = jpg, b.name = "02.jpg", c.name = "03.jpg";
            return Make([=, this] {
                zip({a, b, c})();
                const QString typed = answer != "?"
                                          ? answer
                                          : zf::passwordPassingCheck(archive, "01.jpg", password);
                prompts->inputAnswers.enqueue({!typed.isEmpty(), typed});
            });
        };
        QTest::newRow("traditional") << locked("key", "key", ZIP_EM_TRAD_PKWARE) << three << ask;
        QTest::newRow("aes") << locked("key") << three << ask;
        const QString a200 = "a" + QString(200, QChar(0xe9)); // 401 bytes, cut to 255
        QTest::newRow("long") << locked(a200, a200.toUtf8().left(255)) << three << ask;
        QTest::newRow("wrong") << locked("wrong") << three
                               << ask + box("  wrong password") + ask + twice;
        QTest::newRow("check byte passed") << locked("?", "key", ZIP_EM_TRAD_PKWARE) << three
                                           << ask + box("wrong password or damaged") + ask + twice;
        QTest::newRow("cancelled") << locked("") << three << ask + declined + twice;

        // Start-up opens `good` from what can be read; an unusable file is told at the first
        // page saved. A pipe must not be opened: the program would wait for a writer.
        const QString ini = "c/SorvikViewer/SorvikViewer.ini";
        const auto unsaved = [](QString why) { return QStringList{"Settings Not Saved: " + why}; };
        QTest::newRow("junk") << file(ini, jpg + "\n[B\n" + settings) << "Page 1 of 2" << none;
        QTest::newRow("ini a folder") << file(ini + "/x", "") << "" << unsaved("a folder is in");
        QTest::newRow("dir a file") << file("c/SorvikViewer", "") << "" << unsaved("a file is in");
        QTest::newRow("ini a pipe") << file(ini, "|") << "" << unsaved("it is not a regular file");
    }
    void badInput()
    {
        QFETCH(Make, make);
        QFETCH(QString, view);
        QFETCH(QStringList, boxes);
        prompts = ScriptedPrompts::install(), modUnZip::ZipPasswordCancelled = 0;
        row = TestEnvironment::freshFolder("row"), series = row + "/s", config = row + "/c";
        archive = series + "/Ch.zip", qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        QVERIFY(QDir().mkpath(series));
        make();
        // The chapter the row made, a pipe or a broken link too; none: start-up alone.
        auto chapter = QDir(series).entryList({"Ch*"}, QDir::AllEntries | QDir::System).value(0);
        if (!chapter.isEmpty())
            writeBytes(config + "/SorvikViewer/SorvikViewer.ini", settings);
        const QString position = SettingsStore().read(SettingsStore::FolderSection, other, "-");
        const QStringList before = listing(config + '/');

        w = startedWindow();
        if (!chapter.isEmpty())
            open(series + '/', chapter);
        QCOMPARE(w->view().zipChapter, w->view().chapter.endsWith(".zip"));
        const auto *image = control<ImageControl>(*w, "Image1");
        // What the row left: the caption, a page unless an error ends it, each box and its reason.
        QCOMPARE(image->picture().isNull(),
                 view.isEmpty() || boxes.value(boxes.size() - 1).startsWith("Error "));
        QStringList seen{control<QLabel>(*w, "lblPage")->text()},
            expected = QStringList{view} + boxes;
        // Still answering: a good series opens and turns its page.
        open(good, "Ch001");
        QVERIFY(w->view().page == 2 && !w->view().zipChapter && !image->picture().isNull());
        QVERIFY(!listing(w->view().runFolder).join('\n').contains("TempImage."));
        // What the run leaves at its close counts too: its run folder goes, no box is shown.
        w->close();
        for (const auto &box : prompts->shown) {
            const QString title = box.isInput ? box.input.title : box.message.title;
            const QString text = box.isInput ? box.input.prompt : box.message.text;
            const QString reason = expected.value(seen.size()).section(": ", 1);
            seen << title + ": " + (text.contains(reason) ? reason : text);
        }
        QCOMPARE(seen, expected);
        QCOMPARE(listing(config + '/'), before);
        SettingsStore().sync();
        QCOMPARE(SettingsStore().read(SettingsStore::FolderSection, other, "-"), position);
    }
};

PAGORA_TEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
