// The About window with its licences window, and the help window, as a reader meets them.
#include "ScriptedPrompts.h"
#include "TestEnvironment.h"
#include "WindowFixtures.h"
#include "dialogs/HelpTopics.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmHelp.h"
#include "platform/PictureControls.h"
#include "platform/Twips.h"

#include <FreeImage.h>
#include <zip.h>

#include <QtTest>
#include <QtWidgets>

using WindowFixtures::control;

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    // Esc, Enter and keypad Enter press OK; System Info says there is none. The licences window
    // names the libraries in use in lines that fit; it goes when closed.
    void aboutWindow()
    {
        frmAbout about;
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            about.show();
            const QString title = control<QLabel>(about, "lblTitle")->text();
            QVERIFY(title.contains(" Version " PAGORA_VERSION "\n") && !title.contains(u'\r'));
            QTest::keyClick(about.focusWidget(), key);
            QVERIFY(!about.isVisible() && about.result() == QDialog::Accepted);
        }
        auto *prompts = ScriptedPrompts::install();
        QTest::mouseClick(control<QPushButton>(about, "cmdSysInfo"), Qt::LeftButton);
        QCOMPARE(prompts->shown.size(), 1);
        QCOMPARE(prompts->shown[0].message.text, "System Information Is Unavailable At This Time");
        QPointer<QWidget> licences;
        QString shown;
        bool fits = true;
        // Checked after the window is closed, so a failure never leaves it waiting.
        QTimer::singleShot(0, &about, [&] {
            licences = QApplication::activeModalWidget();
            for (const char *name : {"Label2", "Label3"}) {
                auto *line = control<QLabel>(*licences, name);
                fits = fits && line->heightForWidth(line->width()) <= line->height();
                shown += line->text();
            }
            QTest::mouseClick(control<QPushButton>(*licences, "cmdOk"), Qt::LeftButton);
        });
        QTest::mouseClick(control<QPushButton>(about, "cmdLicense"), Qt::LeftButton);
        QVERIFY(fits);
        QVERIFY(shown.contains(QLatin1String(" FreeImage ") + FreeImage_GetVersion() + " "));
        QVERIFY(shown.contains(QLatin1String(" libzip ") + zip_libzip_version() + " "));
        QVERIFY(licences.isNull());
    }

    // Each entry clicked is the one marked and shows its topic's text; the outline's lines come
    // back with every repaint.
    void helpWindow()
    {
        const int topics[] = {0, 1, 1, 2, 3, 3, 4, 5, 6}; // each entry's; a group shares one
        const QColor mark = QApplication::palette().color(QPalette::Button);
        const QColor plain = QApplication::palette().color(QPalette::HighlightedText);
        frmHelp w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w) && mark != plain);
        const auto at = [&](int n) { return w.findChild<QLabel *>(QString("Label1(%1)").arg(n)); };
        auto *text = control<QPlainTextEdit>(w, "Text1");
        for (int i : {-1, 8, 0, 1, 2, 3, 4, 5, 6, 7, 8}) { // -1: as it opens
            if (i >= 0)
                QTest::mouseClick(at(i), Qt::LeftButton);
            i = qMax(i, 0);
            for (int other = 0; other < 9; ++other)
                QCOMPARE(at(other)->palette().color(QPalette::Window), other == i ? mark : plain);
            QCOMPARE(text->toPlainText(),
                     HelpTopics::text(HelpTopics::Topic(topics[i])).replace("\r\n", "\n"));
        }
        QWidget *box = control<PictureBox>(w, "picHelp")->client();
        const QImage painted = box->grab().toImage();
        // Two trunks, a first- and a second-level branch, then a point off every line.
        for (const auto &p : {QPoint(150, 750), {450, 1950}, {225, 450}, {525, 2250}, {105, 450}})
            QCOMPARE(painted.pixelColor(Twips::toPixels(p.x()), Twips::toPixels(p.y())),
                     p.x() == 105 ? plain : box->palette().color(QPalette::WindowText));
    }
};

PAGORA_TEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
