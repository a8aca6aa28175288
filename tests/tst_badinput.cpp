// Hostile inputs on the real window, one row each, every row held to the same three rules:
// - afterwards the window still shows a good page: no input may crash, hang or wedge the program;
// - nothing new appears outside the settings folder and the run's private folder (no TempImage.*
//   elsewhere, nothing in "/"): no name or link in an input may make the program write elsewhere;
// - the position saved for another series is unchanged: one bad input never costs another place.
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
#include <QElapsedTimer>
#include <QLabel>
#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <zip.h>

using Make = std::function<void()>;
Q_DECLARE_METATYPE(Make)

using namespace SeriesFixtures;

namespace {

// A 100 x 150 page in the format ("JPG", "PNG", "GIF", "BMP").
QByteArray picture(const char *format)
{
    const QString path = TestEnvironment::freshFolder("picture") + "/page";
    return writePage(path, QSize(100, 150), Qt::darkCyan, format), fileContent(path);
}

// A small valid page whose header declares 60000 x 60000 pixels.
QByteArray huge(const char *format)
{
    QByteArray bytes = picture(format);
    if (qstrcmp(format, "PNG") == 0) {
        qToBigEndian(quint32(60000), bytes.data() + 16);
        qToBigEndian(quint32(60000), bytes.data() + 20);
        quint32 crc = 0xffffffffu; // of the header chunk, or the reader stops at its check
        for (const char byte : bytes.mid(12, 17)) {
            crc ^= quint8(byte);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
        qToBigEndian(~crc, bytes.data() + 29);
    } else {
        const qsizetype frame = bytes.indexOf("\xFF\xC0");
        qToBigEndian(quint16(60000), bytes.data() + frame + 5);
        qToBigEndian(quint16(60000), bytes.data() + frame + 7);
    }
    return bytes;
}

// Every entry under the root but the skipped folders, with what shows a change:
// a link's target, a file's size and time.
QStringList listing(const QStringList &skipped)
{
    QStringList lines;
    QDirIterator it(TestEnvironment::root(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        const QString path = entry.filePath(), time = entry.lastModified().toString(Qt::ISODateWithMs);
        const auto inside = [&path](const QString &s) { return !s.isEmpty() && (path + '/').startsWith(s); };
        if (std::none_of(skipped.begin(), skipped.end(), inside))
            lines << path + (entry.isSymLink() ? " -> " + entry.symLinkTarget()
                             : entry.isFile()  ? QString(" %1 %2").arg(entry.size()).arg(time)
                                               : QString());
    }
    return lines.sort(), lines;
}

// Lets every blocking open of a pipe return: each reader is met by a writer that closes at
// once, so it reads an empty file instead of hanging the suite. Counts the readers let through.
class PipeValve {
public:
    explicit PipeValve(const QString &pipe) : m_path(::open(QFile::encodeName(pipe), O_PATH | O_CLOEXEC)) {}
    ~PipeValve()
    {
        for (m_stop = true; !m_done; std::this_thread::sleep_for(std::chrono::milliseconds(1)))
            ::close(::open(m_inode, O_RDONLY | O_NONBLOCK | O_CLOEXEC)); // frees a writer still waiting
        m_thread.join(), ::close(m_path);
    }
    int readers() const { return m_readers; }

private:
    std::atomic<bool> m_stop = false, m_done = false;
    std::atomic<int> m_readers = 0;
    const int m_path; // the pipe itself, even if something replaces it by name
    const QByteArray m_inode = "/proc/self/fd/" + QByteArray::number(m_path);
    std::thread m_thread{[this] {
        for (int fd; !m_stop && (fd = ::open(m_inode, O_WRONLY | O_CLOEXEC)) >= 0; ::close(fd))
            m_readers += !m_stop;
        m_done = true;
    }};
};

QStringList rootFolder() { return QDir("/").entryList(QDir::AllEntries | QDir::Hidden | QDir::System); }

} // namespace

class TestBadInput : public QObject {
    Q_OBJECT

    std::unique_ptr<frmMain> w;
    ScriptedPrompts *prompts = nullptr;
    QString series, config, good, other;
    QByteArray settings; // opens `good` at start-up and holds `other`'s position
    std::unique_ptr<PipeValve> valve;

    QString ini() const { return config + "/SorvikViewer/SorvikViewer.ini"; }
    QString otherPosition() { return SettingsStore().read(SettingsStore::FolderSection, other, "<missing>"); }

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
    Make zip(const QList<ZipFixtures::Member> &members, const std::function<void(const QString &)> &patch = {})
    {
        return [=, this] {
            QVERIFY(ZipFixtures::write(series + "/Ch.zip", members));
            if (patch)
                patch(series + "/Ch.zip");
        };
    }
    Make lying(quint32 size)
    {
        return zip({ZipFixtures::file("p.jpg")},
                   [size](const QString &zip) { QVERIFY(ZipFixtures::setDeclaredSize(zip, "p.jpg", size)); });
    }
    Make locked(int method, const QString &answer)
    {
        return [=, this] {
            zip({ZipFixtures::encrypted("p.jpg", quint16(method), "sesame")})();
            prompts->inputAnswers.enqueue({!answer.isEmpty(), answer});
        };
    }
    Make settingsFile(const QByteArray &before) { return [=, this] { writeBytes(ini(), before + settings); }; }

private slots:
    void initTestCase()
    {
        frmMain::RemovableMediaFolders = [] { return QStringList(); };
        good = TestEnvironment::freshFolder("good") + '/';
        other = TestEnvironment::freshFolder("other") + '/';
        makeFolderChapter(good, "Ch001", {"1.jpg", "2.jpg"}, QSize(40, 60));
        makeFolderChapter(other, "Ch001", {"1.jpg", "2.jpg", "3.jpg"}, QSize(40, 60));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(TestEnvironment::freshFolder("scratch-config")));
        SettingsStore store;
        store.write("General", "ChapterDirectory", good);
        store.write("General", "LastChapter", "Ch001");
        store.write("General", "LastPage", "1");
        store.write(SettingsStore::FolderSection, other, "Ch001^^ 3");
        QVERIFY(store.sync());
        settings = fileContent(store.fileName());
    }
    void init()
    {
        prompts = ScriptedPrompts::install();
        modUnZip::ZipPasswordCancelled = 0;
        series = TestEnvironment::freshFolder("series");
        config = TestEnvironment::freshFolder("config");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    }
    void cleanup() { w.reset(), valve.reset(), Prompts::install(nullptr); }

    void badInput_data()
    {
        QTest::addColumn<QString>("chapter"); // opened after the row is made; empty: the window starts up instead
        QTest::addColumn<Make>("make");
        QTest::addColumn<QString>("box");     // "title: reason", the one box shown and a reason it names; empty: none
        QTest::addColumn<QString>("view");    // the page caption afterwards; empty: the empty view
        const QString invalid = "Error Accessing Page: 481 Invalid picture", one = "Page 1 of 1", two = "Page 1 of 2";
        const auto box = [](const char *reason) { return QString("Error Accessing Page: ") + reason; };
        const QString tooLarge = box("7 Out of memory"), noZip = box("not a zip archive");
        const QByteArray jpg = picture("JPG"), png = picture("PNG"), gif = picture("GIF"), bmp = picture("BMP");
        const auto cut = [](const QByteArray &bytes) { return bytes.left(bytes.size() / 2); };
        const auto corrupt = [](QByteArray bytes) { // the signature kept, the rest of the first 64 bytes garbled
            for (int i = 4; i < 64; ++i)
                bytes[i] = char(bytes[i] ^ 0x5A);
            return bytes;
        };

        QTest::newRow("truncated jpeg") << "Ch" << file("Ch/p.jpg", cut(jpg)) << invalid << one;
        QTest::newRow("truncated png") << "Ch" << file("Ch/p.png", cut(png)) << invalid << one;
        QTest::newRow("truncated gif, shown in part") << "Ch" << file("Ch/p.gif", cut(gif)) << "" << one;
        QTest::newRow("truncated bmp, shown in part") << "Ch" << file("Ch/p.bmp", cut(bmp)) << "" << one;
        QTest::newRow("corrupt jpeg") << "Ch" << file("Ch/p.jpg", corrupt(jpg)) << invalid << one;
        QTest::newRow("corrupt png") << "Ch" << file("Ch/p.png", corrupt(png)) << invalid << one;
        QTest::newRow("corrupt gif") << "Ch" << file("Ch/p.gif", corrupt(gif)) << invalid << one;
        QTest::newRow("corrupt bmp") << "Ch" << file("Ch/p.bmp", corrupt(bmp)) << invalid << one;
        for (const char *ext : {"jpg", "png", "gif", "bmp"})
            QTest::addRow("zero-byte %s", ext) << "Ch" << file(QString("Ch/p.") + ext, "") << invalid << one;
        QTest::newRow("png of 60000 x 60000") << "Ch" << file("Ch/p.png", huge("PNG")) << tooLarge << one;
        QTest::newRow("jpeg of 60000 x 60000") << "Ch" << file("Ch/p.jpg", huge("JPG")) << tooLarge << one;
        // A pipe or a folder named like a page is none: the good page beside it shows.
        QTest::newRow("pipe page") << "Ch" << special("Ch/b.jpg", "", true) << "" << one;
        QTest::newRow("link to a folder") << "Ch" << special("Ch/b.jpg", "..", true) << "" << one;
        QTest::newRow("link to /dev/zero") << "Ch" << special("Ch/b.jpg", "/dev/zero") << invalid << one;

        const auto chop = [](const QString &zip) { writeBytes(zip, fileContent(zip).chopped(30)); };
        QTest::newRow("truncated zip") << "Ch.zip" << zip({ZipFixtures::file("p.jpg", jpg)}, chop) << noZip << "";
        QTest::newRow("zero-length zip") << "Ch.zip" << file("Ch.zip", "") << noZip << "";
        QTest::newRow("text, not a zip") << "Ch.zip" << file("Ch.zip", "just some text\n") << noZip << "";
        const QString wrong = box("wrong password"), cancelled = box("no password given");
        QTest::newRow("pkware, wrong password") << "Ch.zip" << locked(ZIP_EM_TRAD_PKWARE, "wrong") << wrong << one;
        QTest::newRow("aes, wrong password") << "Ch.zip" << locked(ZIP_EM_AES_256, "wrong") << wrong << one;
        QTest::newRow("pkware, cancelled") << "Ch.zip" << locked(ZIP_EM_TRAD_PKWARE, "") << cancelled << one;
        QTest::newRow("aes, cancelled") << "Ch.zip" << locked(ZIP_EM_AES_256, "") << cancelled << one;
        QTest::newRow("declared smaller") << "Ch.zip" << lying(100) << box("damaged") << one;
        QTest::newRow("declared larger") << "Ch.zip" << lying(200000) << box("damaged") << one;
        QTest::newRow("declared over 512 MiB") << "Ch.zip" << lying(0x25800000u) << box("too large") << one;
        // Names that would reach out of the run's folder: read, and written only inside it.
        QTest::newRow("../ member") << "Ch.zip" << zip({ZipFixtures::file("../../p.jpg", jpg)}) << "" << one;
        const QByteArray absolute = QFile::encodeName(TestEnvironment::root()) + "/p.jpg";
        QTest::newRow("absolute member") << "Ch.zip" << zip({ZipFixtures::file(absolute, jpg)}) << "" << one;
        QTest::newRow("symbolic link member") << "Ch.zip" << zip({ZipFixtures::symlink("p.jpg", "/etc/passwd")})
                                              << box("symbolic link") << one;
        const ZipFixtures::Member noPicture = ZipFixtures::file("b.jpg", "no picture");
        QTest::newRow("*.jpg member") << "Ch.zip" << zip({ZipFixtures::file("*.jpg", jpg), noPicture}) << "" << two;
        // A TAB would split the name in the page list: the member is left out.
        QTest::newRow("tab in a member's name")
            << "Ch.zip" << zip({ZipFixtures::file("a\tb.jpg", "no picture"), ZipFixtures::file("c.jpg", jpg)}) << "" << one;
        // libzip writes no two members of one name: the second is renamed in place.
        const auto rename = [](const QString &zip) { writeBytes(zip, fileContent(zip).replace("b.jpg", "a.jpg")); };
        QTest::newRow("duplicate names") << "Ch.zip" << zip({ZipFixtures::file("a.jpg", jpg), noPicture}, rename)
                                         << "" << two;
        QList<ZipFixtures::Member> many{ZipFixtures::file("p00000.jpg", jpg)};
        for (int i = 1; i < 40000; ++i)
            many << ZipFixtures::file("p" + QByteArray::number(i).rightJustified(5, '0') + ".jpg", "x");
        QTest::newRow("40,000 members") << "Ch.zip" << zip(many) << "" << "Page 1 of 32767";
        QTest::newRow("pipe named .zip") << "Ch.zip" << special("Ch.zip", "") << "" << "";

        QTest::newRow("chapter holding a link to itself") << "Ch" << special("Ch/loop", ".", true) << "" << one;
        QTest::newRow("chapter linking to itself") << "Ch" << special("Ch", "Ch") << "" << "";
        // Stand-ins for a chapter without read permission: a dangling link and a file in its place.
        QTest::newRow("chapter, a dangling link") << "Ch" << special("Ch", "/nowhere/at/all") << "" << "";
        QTest::newRow("chapter, a file") << "Ch" << file("Ch", jpg) << "" << "";

        // Start-up opens `good` from what can be read; an unwritable file is told at the first page saved.
        QTest::newRow("settings: garbage") << "" << settingsFile("no equals here\n[Broken\n=\\\\\n") << "" << two;
        QByteArray noise(4096, 0);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        QTest::newRow("settings: binary") << "" << settingsFile(noise + '\n') << "" << two;
        QByteArray big("[Junk]\n");
        for (int i = 0; big.size() < 10'000'000; ++i)
            big += "junk" + QByteArray::number(i) + '=' + QByteArray(100, 'j') + '\n';
        QTest::newRow("settings: 10 MB") << "" << settingsFile(big) << "" << two;
        // A folder in the file's place and a file in the folder's place stand in for unwritable ones.
        QTest::newRow("settings: a folder as the file") << "" << Make([this] { QVERIFY(QDir().mkpath(ini())); })
                                                        << "Settings Not Saved: a folder is in its place" << "";
        const Make fileAsFolder = [this] { writeBytes(config + "/SorvikViewer", "x"); };
        QTest::newRow("settings: a file as the folder")
            << "" << fileAsFolder << "Settings Not Saved: a file is in the place of its folder" << "";
        // A pipe the program may not wait on: the valve keeps a blocking read from hanging the suite.
        QTest::newRow("settings: a pipe as the file") << "" << Make([this] {
            QVERIFY(QDir().mkpath(config + "/SorvikViewer") && mkfifo(QFile::encodeName(ini()), 0600) == 0);
            valve = std::make_unique<PipeValve>(ini());
        }) << "Settings Not Saved: it is not a regular file" << "";
    }
    void badInput()
    {
        QFETCH(QString, chapter);
        QFETCH(Make, make);
        QFETCH(QString, box);
        QFETCH(QString, view);
        if (!chapter.isEmpty()) // the settings rows make their own
            writeBytes(ini(), settings);
        make();
        if (QTest::currentTestFailed())
            return;
        const QString position = otherPosition();
        const QStringList before = listing({config + '/'}), slash = rootFolder();

        QElapsedTimer timer;
        timer.start();
        if (chapter.isEmpty()) {
            w = std::make_unique<frmMain>();
            w->show();
            w->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(w.get()));
            QTRY_VERIFY(w->StartupDone);
        } else {
            w = WindowFixtures::windowWithoutStartup();
            WindowFixtures::openSeries(*w, series, chapter);
        }
        qInfo("opened in %lld ms", timer.elapsed()); // told, never held to a limit
        QVERIFY(prompts->inputAnswers.isEmpty()); // a password row was asked
        // What the row left: the caption, a page or none, and each box with the reason it names.
        QStringList seen{w->lblPage->text(), w->Image1->picture().isNull() ? "no page" : "a page"};
        const QStringList expected = QStringList{view, view.isEmpty() || !box.isEmpty() ? "no page" : "a page"}
                                     + QStringList(box).filter(":");

        // Still answering: a good series opens and turns its page.
        WindowFixtures::openSeries(*w, good, "Ch001");
        w->ShowPage(w->PageIndex = 2);
        QCOMPARE(w->lblPage->text(), "Page 2 of 2");
        QVERIFY(!w->Image1->picture().isNull());

        const QString reason = box.section(": ", 1);
        for (const auto &shown : prompts->shown)
            if (!shown.isInput)
                seen << shown.message.title + ": "
                            + (!reason.isEmpty() && shown.message.text.contains(reason) ? reason : shown.message.text);
        QCOMPARE(seen, expected);

        const QString runFolder = w->AppFolder;
        QVERIFY(!listing({runFolder}).join('\n').contains("TempImage."));
        w.reset(); // what the run leaves at its end counts too
        QCOMPARE(listing({config + '/', runFolder}), before);
        QCOMPARE(rootFolder(), slash);
        SettingsStore().sync();
        QCOMPARE(otherPosition(), position);
        QCOMPARE(valve ? valve->readers() : 0, 0);
    }
};

PAGORA_TEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
