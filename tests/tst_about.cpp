// The About window, the licences window and the registry lookups behind the
// system information button.
#include "ScriptedPrompts.h"
#include "TestEnvironment.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmLicenses.h"
#include "platform/PictureControls.h"
#include "platform/Registry.h"

#include <FreeImage.h>
#include <zip.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {

RegistryValue localValue(const QString &key, const char *name, QByteArray data,
                         qint32 type = RegistryType::Text)
{
    return {RegistryRoot::LocalMachine, key, QLatin1String(name), type, std::move(data)};
}

bool matches(const char *pattern, const QString &text)
{
    return QRegularExpression(QLatin1String(pattern)).match(text).hasMatch();
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT

    ScriptedPrompts *prompts = nullptr;
    QStringList started;

private slots:
    void initTestCase() { Q_INIT_RESOURCE(pagora); }

    void init()
    {
        prompts = ScriptedPrompts::install();
        started.clear();
        frmAbout::setProgramStarter([this](const QString &path) {
            started << path;
            return true;
        });
    }

    void cleanup()
    {
        Registry::setInjectedValues({});
        frmAbout::setProgramStarter({});
        Prompts::install(nullptr);
    }

    void titleTextHasItsSpacesAndLineBreaks()
    {
        frmAbout about;
        const QString title = about.titleText();
        QCOMPARE(title.count(u'\r') + title.count(u'\n'), 6);
        const QStringList lines = title.split(QLatin1String("\r\n"));
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QStringLiteral(" The Pagora Viewer.  Version " PAGORA_VERSION));
        QCOMPARE(lines[1], QString());
        QVERIFY2(matches("^ \\S.* \\([\\w.-]+@example\\.org\\)$", lines[2]), qPrintable(lines[2]));
        QVERIFY2(matches("^ \\S.* \\((https?://)?([\\w-]+\\.)*example\\.org/?\\)$", lines[3]),
                 qPrintable(lines[3]));
        QCOMPARE(about.lblTitle->text(), lines.join(u'\n'));
        QCOMPARE(about.Picture1->image().size(), QSize(405, 105)); // the banner resource
    }

    void escAndEnterPressOk_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Esc") << int(Qt::Key_Escape);
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    }
    void escAndEnterPressOk()
    {
        QFETCH(int, key);
        frmAbout about;
        about.show();
        QSignalSpy okPressed(about.cmdOK, &QPushButton::clicked);
        QCOMPARE(about.focusWidget(), about.cmdOK);
        QTest::keyClick(about.cmdOK, Qt::Key(key));
        QVERIFY(!about.isVisible());
        QCOMPARE(okPressed.count(), 1);
    }

    // Each press opens a fresh window, deleted when it closes, whose lines
    // name the libraries running here.
    void licencesWindowIsFreshEachTime()
    {
        const QString image = QStringLiteral("Support for the PNG graphics format via: FreeImage ")
                              + QLatin1String(FreeImage_GetVersion()) + " by ";
        const QString archive = QStringLiteral("Support for zip image libraries via    : libzip ")
                                + QLatin1String(zip_libzip_version()) + " by ";
        frmAbout about;
        for (int round = 0; round < 2; ++round) {
            QPointer<frmLicenses> licences;
            QStringList shown;
            QTimer::singleShot(0, &about, [&] {
                if ((licences = about.findChild<frmLicenses *>())) {
                    shown << licences->Label2->text() << licences->Label3->text();
                    licences->Label2->setText(QStringLiteral("scribbled")); // must not come back
                    licences->cmdOk->click();
                } else if (QWidget *other = QApplication::activeModalWidget()) {
                    other->close(); // never left waiting on a window
                }
            });
            about.cmdLicense->click();
            QCOMPARE(shown.size(), 2);
            QVERIFY2(shown[0].startsWith(image), qPrintable(shown[0]));
            QVERIFY2(shown[1].startsWith(archive), qPrintable(shown[1]));
            QVERIFY(licences.isNull());
        }
    }

    // Each library line names that library's own licences and fits its
    // label; the introduction names none for all of them.
    void licencesWindowNamesEachLibrarysLicence()
    {
        frmLicenses licences;
        const auto named = [](const QString &text) {
            QStringList found;
            for (const char *licence : {"GNU", "GPL", "FreeImage Public License", "BSD 3-Clause License"})
                if (text.contains(QLatin1String(licence), Qt::CaseInsensitive))
                    found << licence;
            return found;
        };
        QCOMPARE(named(frmLicenses::Introduction()), QStringList());
        QVERIFY(licences.Label2->text().contains(QLatin1String("FreeImage Public License or the GNU GPL v2 or v3")));
        QCOMPARE(named(licences.Label2->text()), QStringList({"GNU", "GPL", "FreeImage Public License"}));
        QCOMPARE(named(licences.Label3->text()), QStringList({"BSD 3-Clause License"}));
        QLabel introduction(frmLicenses::Introduction());
        introduction.setFont(licences.Label1->font());
        introduction.setWordWrap(true);
        QVERIFY(introduction.heightForWidth(licences.Label1->width()) <= licences.Label1->height());
        for (QLabel *line : {licences.Label2, licences.Label3})
            QVERIFY2(line->heightForWidth(line->width()) <= line->height(), qPrintable(line->objectName()));
    }

    void getKeyValueReadsInjectedValues_data()
    {
        QTest::addColumn<qint32>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("value");
        QTest::newRow("text with closing zero") << qint32(RegistryType::Text)
            << QByteArray("C:\\msinfo32.exe\0", 16) << true << "C:\\msinfo32.exe";
        QTest::newRow("32-bit number") << qint32(RegistryType::Number)
            << QByteArray("\x78\x56\x34\x12", 4) << true << "305419896";
        QTest::newRow("unknown type keeps the old value") << qint32(RegistryType::Binary)
            << QByteArray("\x01\x02") << true << "earlier";
        QTest::newRow("missing key") << 0 << QByteArray() << false << "";
    }
    void getKeyValueReadsInjectedValues()
    {
        QFETCH(qint32, type);
        QFETCH(QByteArray, data);
        QFETCH(bool, found);
        QFETCH(QString, value);
        const QString key = QStringLiteral("SOFTWARE\\Pagora\\Test");
        if (!data.isNull()) // else no key at all
            Registry::setInjectedValues({localValue(key, "Item", data, type)});
        qint32 root = RegistryRoot::LocalMachine;
        QString keyVal = QStringLiteral("earlier");
        QCOMPARE(frmAbout::GetKeyValue(root, key, QStringLiteral("Item"), keyVal), found);
        QCOMPARE(keyVal, value);
        QCOMPARE(Registry::openKeyCount(), 0);
    }

    // The tool the first value names, else MSINFO32.EXE in the folder the
    // second names (there only where it is expected to start); else the box.
    void startSysInfo_data()
    {
        QTest::addColumn<bool>("toolValue");
        QTest::addColumn<bool>("folderValue");
        QTest::addColumn<QString>("expected"); // "tool", "folder" or none
        QTest::newRow("first value") << true << false << "tool";
        QTest::newRow("second value, MSINFO32.EXE there") << false << true << "folder";
        QTest::newRow("second value, no MSINFO32.EXE") << false << true << "";
        QTest::newRow("no keys") << false << false << "";
    }
    void startSysInfo()
    {
        QFETCH(bool, toolValue);
        QFETCH(bool, folderValue);
        QFETCH(QString, expected);
        const QString folder = TestEnvironment::freshFolder(QStringLiteral("sysinfo"));
        const QString tool = QStringLiteral("/opt/tools/msinfo32");
        if (expected == "folder")
            QVERIFY(QFile(folder + QStringLiteral("/MSINFO32.EXE")).open(QIODevice::WriteOnly));
        QList<RegistryValue> values;
        if (toolValue)
            values << localValue(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                                 "PATH", tool.toUtf8() + '\0');
        if (folderValue)
            values << localValue(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                                 "MSINFO", folder.toUtf8() + '\0');
        Registry::setInjectedValues(values);
        frmAbout about;
        about.cmdSysInfo->click();
        QCOMPARE(started.join(u'|'), expected == "tool" ? tool
                                     : expected == "folder" ? folder + "/MSINFO32.EXE" : "");
        QCOMPARE(prompts->shown.size(), expected.isEmpty() ? 1 : 0);
        if (expected.isEmpty())
            QCOMPARE(prompts->shown.first().message.text,
                     QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(Registry::openKeyCount(), 0);
    }
};

PAGORA_TEST_MAIN(TestAbout)
#include "tst_about.moc"
