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
#include <QScrollBar>
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

} // namespace

class TestHelp : public QObject {
    Q_OBJECT

private slots:
    // It opens on the first entry; two neighbouring entries share a text and
    // each moves the mark to itself.
    void clickingAnEntryMarksItAndShowsItsText_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<Topic>("topic");
        QTest::newRow("setup") << 1
            << QStringList{"Setup / Configuration", "Specifying Your Folder"}
            << Topic::SpecifyingYourFolders;
        QTest::newRow("using") << 4 << QStringList{"Using The Program", "Navigating Pages"}
                               << Topic::NavigatingPages;
    }
    void clickingAnEntryMarksItAndShowsItsText()
    {
        QFETCH(int, index);
        QFETCH(QStringList, captions);
        QFETCH(Topic, topic);
        QVERIFY(systemColour(QPalette::Button) != systemColour(QPalette::HighlightedText));
        frmHelp w;
        QCOMPARE(w.Label1[0]->text(), QStringLiteral("General Information"));
        QCOMPARE(markedLabel(w), 0);
        QCOMPARE(w.Text1->toPlainText(), shownText(Topic::GeneralInformation));
        for (int i : {index, index + 1}) {
            QTest::mouseClick(w.Label1[i], Qt::LeftButton);
            QCOMPARE(w.Label1[i]->text(), captions[i - index]);
            QCOMPARE(markedLabel(w), i);
            QCOMPARE(w.Text1->toPlainText(), shownText(topic));
        }
    }

    void typingChangesNothingWhileKeysStillScroll()
    {
        frmHelp w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.Label1[3], Qt::LeftButton);
        // A box smaller than its text, whatever the type's size here.
        w.Text1->resize(w.Text1->width(), w.Text1->height() / 6);
        const QString before = w.Text1->toPlainText();
        QTest::keyClicks(w.Text1, QStringLiteral("typed 1"));
        for (int key : {Qt::Key_Return, Qt::Key_Backspace, Qt::Key_Delete})
            QTest::keyClick(w.Text1, Qt::Key(key));
        QTest::keyClick(w.Text1, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(w.Text1, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(w.Text1->toPlainText(), before);

        QScrollBar *bar = w.Text1->verticalScrollBar();
        QTest::keyClick(w.Text1, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(bar->value(), 0);
        QTest::keyClick(w.Text1, Qt::Key_PageDown);
        QVERIFY(bar->value() > 0);
    }

    // A heading in capitals and a blank line (none for the general
    // information), CR LF line breaks only, and the quoted passage.
    void textsHaveTheirHeadingsAndQuotedLines_data()
    {
        QTest::addColumn<Topic>("topic");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("general") << Topic::GeneralInformation << ""
                                 << "On your next viewing, the program will start at the last page";
        QTest::newRow("sub-folders") << Topic::FolderOrganization << "FOLDER ORGANIZATION"
            << "\r\n               MyPagoraFolder\\Ch001\\Sorvik01-00.jpg\r\n";
        QTest::newRow("pages") << Topic::NavigatingPages << "NAVIGATING PAGES"
                               << "\"<<  <  >  >>\"";
        QTest::newRow("zoom") << Topic::ZoomAndFitToWindow << "ZOOM & FIT TO WINDOW"
                              << "'Fit To Window'";
    }
    void textsHaveTheirHeadingsAndQuotedLines()
    {
        QFETCH(Topic, topic);
        QFETCH(QString, heading);
        QFETCH(QString, quoted);
        const QString text = HelpTopics::text(topic);
        QCOMPARE(HelpTopics::heading(topic), heading);
        QCOMPARE(text.count(u'\n') + text.count(u'\r'), 2 * text.count(QLatin1String("\r\n")));
        const QStringList lines = text.split(QLatin1String("\r\n"));
        if (heading.isEmpty())
            QVERIFY(lines.first() != lines.first().toUpper());
        else
            QCOMPARE(lines.mid(0, 2), (QStringList{heading, QString()}));
        QVERIFY2(text.contains(quoted), qPrintable(quoted));
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
        // The middle of each line, in twips: the two trunks, then the branches.
        const int middles[][2] = {{150, 750}, {450, 750}, {450, 1950}, {225, 150},
                                  {225, 450}, {225, 1350}, {525, 750}, {525, 1050},
                                  {525, 1650}, {525, 1950}, {525, 2250}, {525, 2550}};
        for (const QImage &image : {w.picHelp->image(), painted})
            for (const auto &m : middles)
                QCOMPARE(image.pixel(Twips::toPixels(m[0]), Twips::toPixels(m[1])), line);
        // Left of the trunk, clear of lines and labels.
        QCOMPARE(QColor(painted.pixel(Twips::toPixels(105), Twips::toPixels(450))),
                 systemColour(QPalette::HighlightedText));
    }
};

PAGORA_TEST_MAIN(TestHelp)
#include "tst_help.moc"
