// The help window: the outline in its lasting image, the mark on the chosen
// topic, the topic texts, and a text box that scrolls but takes no typing.
#include "TestEnvironment.h"
#include "dialogs/HelpTopics.h"
#include "dialogs/frmHelp.h"
#include "platform/PictureControls.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

using HelpTopics::Topic;
Q_DECLARE_METATYPE(HelpTopics::Topic)

namespace {

QString shownText(Topic topic)
{
    return HelpTopics::text(topic).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

QColor systemColour(QPalette::ColorRole role)
{
    return QApplication::palette().color(role);
}

// The one label with the button-face background while all the others have
// the highlight-text colour; -1 when the labels are not marked that way.
int markedLabel(const frmHelp &w)
{
    int marked = -1;
    for (int i = 0; i < int(w.Label1.size()); ++i) {
        const QColor background = w.Label1[i]->palette().color(QPalette::Window);
        if (background == systemColour(QPalette::Button) && marked == -1)
            marked = i;
        else if (background != systemColour(QPalette::HighlightedText))
            return -1;
    }
    return marked;
}

void clickLabel(frmHelp &w, int index)
{
    QTest::mouseClick(w.Label1[index], Qt::LeftButton);
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT

private slots:
    void helpMenuOpensAFreshModalWindowOnGeneralInformation()
    {
        QVERIFY(systemColour(QPalette::Button) != systemColour(QPalette::HighlightedText));
        QWidget parent;
        QList<QPointer<frmHelp>> opened;
        QStringList seen;
        for (int round = 0; round < 2; ++round) {
            QTimer::singleShot(0, &parent, [&] {
                auto *w = parent.findChild<frmHelp *>();
                opened << w;
                if (!w)
                    return;
                seen << QStringLiteral("%1 %2 %3").arg(QApplication::activeModalWidget() == w)
                            .arg(markedLabel(*w)).arg(w->Text1->toPlainText());
                clickLabel(*w, 7); // the next opening must not keep this topic
                w->close();
            });
            showHelpWindow(&parent);
            QCOMPARE(opened.size(), round + 1);
            QVERIFY(opened.last().isNull());
        }
        const QString expected = QStringLiteral("1 0 ") + shownText(Topic::GeneralInformation);
        QCOMPARE(seen, QStringList(2, expected));
    }

    void clickingATopicMarksItAndShowsItsText_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<Topic>("topic");
        QTest::newRow("0") << 0 << "General Information" << Topic::GeneralInformation;
        QTest::newRow("1") << 1 << "Setup / Configuration" << Topic::SpecifyingYourFolders;
        QTest::newRow("2") << 2 << "Specifying Your Folder" << Topic::SpecifyingYourFolders;
        QTest::newRow("3") << 3 << "Folder Organization" << Topic::FolderOrganization;
        QTest::newRow("4") << 4 << "Using The Program" << Topic::NavigatingPages;
        QTest::newRow("5") << 5 << "Navigating Pages" << Topic::NavigatingPages;
        QTest::newRow("6") << 6 << "Moving Around The Page" << Topic::MovingAroundThePage;
        QTest::newRow("7") << 7 << "Navigating Chapters" << Topic::NavigatingChapters;
        QTest::newRow("8, one ampersand")
            << 8 << "Zoom & Fit To Window" << Topic::ZoomAndFitToWindow;
    }

    void clickingATopicMarksItAndShowsItsText()
    {
        QFETCH(int, index);
        QFETCH(QString, caption);
        QFETCH(Topic, topic);
        frmHelp w;
        // From a neighbouring entry: the two entries sharing a text must
        // each move the mark and show it.
        clickLabel(w, index == 0 ? 1 : index - 1);
        clickLabel(w, index);
        QCOMPARE(w.Label1[index]->text(), caption);
        QCOMPARE(markedLabel(w), index);
        QCOMPARE(w.Text1->toPlainText(), shownText(topic));
    }

    void typingChangesNothingWhileKeysStillScroll()
    {
        frmHelp w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        clickLabel(w, 3);
        // A box smaller than its text, whatever the type's size here.
        w.Text1->resize(w.Text1->width(), w.Text1->height() / 6);
        QScrollBar *bar = w.Text1->verticalScrollBar();
        const QString before = w.Text1->toPlainText();
        QTest::keyClicks(w.Text1, QStringLiteral("typed 1"));
        for (int key : {Qt::Key_Return, Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Tab})
            QTest::keyClick(w.Text1, Qt::Key(key));
        QTest::keyClick(w.Text1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(w.Text1, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(w.Text1->toPlainText(), before);

        QTest::keyClick(w.Text1, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(bar->value(), 0);
        QTest::keyClick(w.Text1, Qt::Key_PageDown);
        const int afterPage = bar->value();
        QVERIFY(afterPage > 0);
        QTest::keyClick(w.Text1, Qt::Key_PageUp);
        QVERIFY(bar->value() < afterPage);
        QTest::keyClick(w.Text1, Qt::Key_Home, Qt::ControlModifier);
        for (int i = 0; i < 20; ++i)
            QTest::keyClick(w.Text1, Qt::Key_Down);
        QVERIFY(bar->value() > 0);
    }

    void textsOpenWithTheirHeadingsAndKeepTheirQuotedLines_data()
    {
        QTest::addColumn<Topic>("topic");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("quoted");
        QTest::addColumn<bool>("wholeLine");
        QTest::newRow("general") << Topic::GeneralInformation << "" << "On your next viewing, "
            "the program will start at the last page" << false;
        QTest::newRow("folders") << Topic::SpecifyingYourFolders << "SPECIFYING YOUR FOLDERS"
                                 << "'Pagora Chapters Folder'" << false;
        QTest::newRow("sub-folders") << Topic::FolderOrganization << "FOLDER ORGANIZATION"
            << "               MyPagoraFolder\\Ch001\\Sorvik01-00.jpg" << true;
        QTest::newRow("archives") << Topic::FolderOrganization << "FOLDER ORGANIZATION"
                                  << "             MyPagoraFolder\\Ch001.zip" << true;
        QTest::newRow("pages") << Topic::NavigatingPages << "NAVIGATING PAGES"
                               << "\"<<  <  >  >>\"" << false;
        QTest::newRow("moving") << Topic::MovingAroundThePage << "MOVING AROUND THE PAGE"
                                << "Page-Up and Page-Down" << false;
        QTest::newRow("chapters") << Topic::NavigatingChapters << "NAVIGATING CHAPTERS"
                                  << "Alt-PgUp" << false;
        QTest::newRow("zoom") << Topic::ZoomAndFitToWindow << "ZOOM & FIT TO WINDOW"
                              << "'Fit To Window'" << false;
    }

    void textsOpenWithTheirHeadingsAndKeepTheirQuotedLines()
    {
        QFETCH(Topic, topic);
        QFETCH(QString, heading);
        QFETCH(QString, quoted);
        QFETCH(bool, wholeLine);
        const QString text = HelpTopics::text(topic);
        QCOMPARE(HelpTopics::heading(topic), heading);
        // Line breaks are CR LF pairs and nothing else.
        QCOMPARE(text.count(QLatin1Char('\n')), text.count(QLatin1String("\r\n")));
        QCOMPARE(text.count(QLatin1Char('\r')), text.count(QLatin1String("\r\n")));
        const QStringList lines = text.split(QLatin1String("\r\n"));
        if (heading.isEmpty())
            QVERIFY(lines.first() != lines.first().toUpper());
        else
            QCOMPARE(lines.mid(0, 2), (QStringList{heading, QString()}));
        QVERIFY2(wholeLine ? lines.contains(quoted) : text.contains(quoted), qPrintable(quoted));
    }

    void outlineLinesLastThroughRepaints()
    {
        frmHelp w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QWidget *box = w.picHelp->client();
        const QRgb line = box->palette().color(QPalette::WindowText).rgb();
        // Uncovering a window paints it afresh: the lines must come back from
        // the lasting image, not from the drawing done once at load.
        const QImage painted = box->grab().toImage();
        const int segments[12][4] = {
            {150, 150, 150, 1350}, {150, 150, 300, 150},  {150, 450, 300, 450},
            {450, 450, 450, 1050}, {450, 750, 600, 750},  {450, 1050, 600, 1050},
            {150, 1350, 300, 1350}, {450, 1350, 450, 2550}, {450, 1650, 600, 1650},
            {450, 1950, 600, 1950}, {450, 2250, 600, 2250}, {450, 2550, 600, 2550}};
        for (const QImage &image : {w.picHelp->image(), painted})
            for (const auto &s : segments)
                QCOMPARE(image.pixel(Twips::toPixels((s[0] + s[2]) / 2.0),
                                     Twips::toPixels((s[1] + s[3]) / 2.0)), line);
        // Left of the trunk, clear of lines and labels.
        QCOMPARE(QColor(painted.pixel(Twips::toPixels(105), Twips::toPixels(450))),
                 systemColour(QPalette::HighlightedText));
    }
};

PAGORA_TEST_MAIN(TestHelp)
#include "tst_help.moc"
