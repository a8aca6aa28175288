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

const QString kTestKey = QStringLiteral("SOFTWARE\\Pagora\\Test");

RegistryValue localValue(const QString &key, const char *name, qint32 type, QByteArray data)
{
    return {RegistryRoot::LocalMachine, key, QLatin1String(name), type, std::move(data)};
}

QByteArray withClosingZero(const QString &text)
{
    return text.toUtf8() + '\0';
}

bool matches(const char *pattern, const QString &text)
{
    return QRegularExpression(QLatin1String(pattern)).match(text).hasMatch();
}

} // namespace

static void registerResources()
{
    Q_INIT_RESOURCE(pagora);
}

class TestAbout : public QObject {
    Q_OBJECT

private:
    ScriptedPrompts *prompts = nullptr;
    QStringList started;
    bool starterSucceeds = true;

private slots:
    void initTestCase() { registerResources(); }

    void init()
    {
        prompts = ScriptedPrompts::install();
        started.clear();
        starterSucceeds = true;
        frmAbout::setProgramStarter([this](const QString &path) {
            started << path;
            return starterSucceeds;
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
        const QString version = QStringLiteral("%1.%2.%3").arg(PAGORA_VERSION_MAJOR)
                                    .arg(PAGORA_VERSION_MINOR).arg(PAGORA_VERSION_PATCH);
        QCOMPARE(version, QStringLiteral(PAGORA_VERSION));
        const QString title = about.titleText();
        QCOMPARE(title.count(QLatin1Char('\r')) + title.count(QLatin1Char('\n')), 6);
        const QStringList lines = title.split(QLatin1String("\r\n"));
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QStringLiteral(" The Pagora Viewer.  Version ") + version);
        QCOMPARE(lines[1], QString());
        QVERIFY2(matches("^ \\S.* \\([\\w.-]+@example\\.org\\)$", lines[2]), qPrintable(lines[2]));
        QVERIFY2(matches("^ \\S.* \\((https?://)?([\\w-]+\\.)*example\\.org/?\\)$", lines[3]),
                 qPrintable(lines[3]));
        QCOMPARE(about.lblTitle->text(), lines.join(QLatin1Char('\n')));
        // The banner is found among the resources.
        QCOMPARE(about.Picture1->image().size(), QSize(405, 105));
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
        QSignalSpy okPressed(about.cmdOK, &QPushButton::clicked);
        bool stillOpen = false;
        QWidget *focused = nullptr;
        QTimer::singleShot(0, &about, [&] {
            focused = about.focusWidget();
            QTest::keyClick(focused ? focused : &about, Qt::Key(key));
            // Never leave the test waiting on a window the key failed to close.
            stillOpen = about.isVisible();
            if (stillOpen)
                about.done(-1);
        });
        about.exec();
        QVERIFY(!stillOpen);
        QCOMPARE(focused, about.cmdOK);
        QCOMPARE(okPressed.count(), 1);
    }

    void aboutMenuOpensAFreshModalWindow()
    {
        QWidget parent;
        QPointer<frmAbout> opened;
        bool modal = false;
        QTimer::singleShot(0, &parent, [&] {
            opened = parent.findChild<frmAbout *>();
            modal = opened && QApplication::activeModalWidget() == opened;
            if (opened)
                opened->cmdOK->click();
        });
        showAboutWindow(&parent);
        QVERIFY(modal);
        QVERIFY(opened.isNull());
    }

    void licencesWindowIsFreshEachTime()
    {
        frmAbout about;
        QList<QPointer<frmLicenses>> opened;
        QStringList seen;
        for (int round = 0; round < 2; ++round) {
            QTimer::singleShot(0, &about, [&] {
                auto *licences = about.findChild<frmLicenses *>();
                opened << licences;
                if (!licences)
                    return;
                seen << QStringLiteral("%1 %2")
                            .arg(QApplication::activeModalWidget() == licences)
                            .arg(licences->Label2->text());
                licences->Label2->setText(QStringLiteral("scribbled")); // must not come back
                licences->cmdOk->click();
            });
            about.cmdLicense->click();
            QCOMPARE(opened.size(), round + 1);
            QVERIFY(opened.last().isNull());
        }
        QCOMPARE(seen, QStringList(2, QStringLiteral("1 ") + frmLicenses::ImageLibraryLine()));
    }

    void licenceLinesCreditTheRunningLibraries()
    {
        frmLicenses licences;
        const QString image = licences.Label2->text();
        const QString archive = licences.Label3->text();
        QVERIFY2(image.startsWith(QStringLiteral("Support for the PNG graphics format via: ")
                                  + QLatin1String("FreeImage ") + FreeImage_GetVersion() + " by "),
                 qPrintable(image));
        QVERIFY2(matches(" by \\S.*\\S+@\\S+\\.\\w+.*https?://\\S+", image), qPrintable(image));
        QVERIFY2(archive.startsWith(QStringLiteral("Support for zip image libraries via    : ")
                                    + QLatin1String("libzip ") + zip_libzip_version() + " by "),
                 qPrintable(archive));
        QVERIFY2(matches(" by \\S.*\\(https?://[^()\\s]+\\)$", archive), qPrintable(archive));
        // The introduction comes first; the label's height hides the rest.
        QCOMPARE(licences.Label1->text(),
                 QStringLiteral("This program makes use the following components, generously "
                                "made available for public use via the Gnu public licensing "
                                "system:\n\n") + image + QLatin1String("\n\n") + archive);
    }

    void getKeyValueReadsInjectedValues_data()
    {
        QTest::addColumn<qint32>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("value");
        const auto row = [](const char *name, qint32 type, const QByteArray &data,
                            const QString &key, bool found, const QString &value) {
            QTest::newRow(name) << type << data << key << found << value;
        };
        const qint32 text = RegistryType::Text;
        const qint32 number = RegistryType::Number;
        const QString path = QStringLiteral("C:\\Tools\\msinfo32.exe");
        row("text with closing zero", text, withClosingZero(path), kTestKey, true, path);
        row("text without closing zero", text, path.toUtf8(), kTestKey, true, path);
        row("text filling the buffer", text, QByteArray(1023, 'x') + '\0', kTestKey, true,
            QString(1023, QLatin1Char('x')));
        row("text beyond the buffer", text, QByteArray(1024, 'x') + '\0', kTestKey, false, "");
        row("number", number, QByteArray("\x78\x56\x34\x12", 4), kTestKey, true, "305419896");
        row("number with zero high bytes", number, QByteArray("\x05\0\0\0", 4), kTestKey, true,
            "5");
        row("largest number", number, QByteArray(4, '\xff'), kTestKey, true, "4294967295");
        row("unknown type keeps the old value", RegistryType::Binary, "\x01\x02", kTestKey, true,
            "earlier");
        row("key names ignore case", text, path.toUtf8(), kTestKey.toLower(), true, path);
        row("missing key", text, path.toUtf8(), kTestKey + "\\Other", false, "");
    }

    void getKeyValueReadsInjectedValues()
    {
        QFETCH(qint32, type);
        QFETCH(QByteArray, data);
        QFETCH(QString, key);
        QFETCH(bool, found);
        QFETCH(QString, value);
        Registry::setInjectedValues({localValue(kTestKey, "Item", type, data)});
        qint32 root = RegistryRoot::LocalMachine;
        QString keyVal = QStringLiteral("earlier");
        QCOMPARE(frmAbout::GetKeyValue(root, key, QStringLiteral("Item"), keyVal), found);
        QCOMPARE(keyVal, value);
        keyVal = QStringLiteral("earlier");
        QVERIFY(!frmAbout::GetKeyValue(root, key, QStringLiteral("Missing"), keyVal));
        QCOMPARE(keyVal, QString());
        QCOMPARE(Registry::openKeyCount(), 0);
    }

    void startSysInfo_data()
    {
        QTest::addColumn<bool>("toolValue");
        QTest::addColumn<bool>("folderValue");
        QTest::addColumn<bool>("fileInFolder");
        QTest::addColumn<bool>("starts");
        QTest::addColumn<QString>("expectedStart"); // "tool", "folder" or none
        QTest::newRow("first value names the tool") << true << false << false << true << "tool";
        QTest::newRow("first value wins") << true << true << true << true << "tool";
        QTest::newRow("second value, tool there") << false << true << true << true << "folder";
        QTest::newRow("second value, no MSINFO32.EXE") << false << true << false << true << "";
        QTest::newRow("no keys at all") << false << false << false << true << "";
        QTest::newRow("the tool won't start") << true << false << false << false << "tool";
    }

    void startSysInfo()
    {
        QFETCH(bool, toolValue);
        QFETCH(bool, folderValue);
        QFETCH(bool, fileInFolder);
        QFETCH(bool, starts);
        QFETCH(QString, expectedStart);
        const QString folder = TestEnvironment::freshFolder(QStringLiteral("sysinfo"));
        const QString tool = QStringLiteral("/opt/tools/msinfo32");
        if (fileInFolder)
            QVERIFY(QFile(folder + QStringLiteral("/MSINFO32.EXE")).open(QIODevice::WriteOnly));
        QList<RegistryValue> values;
        if (toolValue)
            values << localValue(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                                 "PATH", RegistryType::Text, withClosingZero(tool));
        if (folderValue)
            values << localValue(QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                                 "MSINFO", RegistryType::Text, withClosingZero(folder));
        Registry::setInjectedValues(values);
        starterSucceeds = starts;

        frmAbout about;
        about.cmdSysInfo->click();

        const QStringList expected = expectedStart == QLatin1String("tool") ? QStringList{tool}
            : expectedStart == QLatin1String("folder") ? QStringList{folder + "/MSINFO32.EXE"}
                                                        : QStringList{};
        QCOMPARE(started, expected);
        const bool boxShown = !starts || expected.isEmpty();
        QCOMPARE(prompts->shown.size(), boxShown ? 1 : 0);
        if (boxShown) {
            const MessageRequest &box = prompts->shown.first().message;
            QCOMPARE(box.title, QStringLiteral("Pagora Viewer"));
            QCOMPARE(box.text, QStringLiteral("System Information Is Unavailable At This Time"));
            QCOMPARE(box.icon, PromptIcon::None);
            QCOMPARE(box.buttons, PromptButtons::OK);
        }
        QCOMPARE(Registry::openKeyCount(), 0);
    }
};

PAGORA_TEST_MAIN(TestAbout)
#include "tst_about.moc"
