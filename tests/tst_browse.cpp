// The folder browser: which lines the directory list shows, which folder OK
// returns, the keys and the close box, and volumes that are not ready.
#include "ScriptedPrompts.h"
#include "TestEnvironment.h"
#include "dialogs/FolderTree.h"
#include "dialogs/frmBrowse.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QtTest>

namespace {

// Volumes whose readiness the test says; the rest ask the real probe (a
// missing root is not ready).
class TestVolumes : public FolderTree::VolumeSource {
public:
    QList<FolderTree::Volume> list;
    QMap<QString, bool> ready;

    QList<FolderTree::Volume> volumes() const override { return list; }
    bool isReady(const QString &root) const override
    {
        return ready.contains(root) ? ready[root] : VolumeSource::isReady(root);
    }
};

QTreeWidgetItem *lineFor(DirListBox *list, const QString &path)
{
    for (QTreeWidgetItemIterator it(list); *it; ++it)
        if (DirListBox::pathOf(*it) == path)
            return *it;
    return nullptr;
}

// The directory list from the line of `from` on: two blanks per level below
// it, the name, "+" for the open folder's icon and "-" for another.
QStringList shownLines(DirListBox *list, const QString &from)
{
    const qint64 openIcon = lineFor(list, list->path())->icon(0).cacheKey();
    QTreeWidgetItem *top = lineFor(list, from);
    QStringList lines;
    for (QTreeWidgetItemIterator it(top); *it; ++it) {
        QString line = (*it)->text(0) + ((*it)->icon(0).cacheKey() == openIcon ? " +" : " -");
        for (auto *p = *it; p != top; p = p->parent())
            line.prepend(QStringLiteral("  "));
        lines << line;
    }
    return lines;
}

} // namespace

class TestBrowse : public QObject {
    Q_OBJECT

    QString m_root;
    ScriptedPrompts *m_prompts = nullptr;

    QString at(const QString &relative) const { return m_root + u'/' + relative; }

    static std::unique_ptr<frmBrowse> shown(const QString &start)
    {
        auto dialog = std::make_unique<frmBrowse>();
        dialog->SorvikPath = start;
        dialog->show();
        return dialog;
    }

private slots:
    void init()
    {
        m_root = TestEnvironment::freshFolder(QStringLiteral("browse"));
        for (const char *folder : {"shelf/Series/Alpha/Inner", "shelf/Series/beta",
                                   "shelf/Series/Gamma", "shelf/Series/.cache", "shelf/Comics",
                                   "shelf/comics", "shelf/.hidden", "shelf2/Other", "shelfish"})
            QDir().mkpath(at(QString::fromLatin1(folder)));
        auto volumes = std::make_unique<TestVolumes>();
        volumes->list = {{"/", "File System"}, {at("shelf/"), "Shelf"},
                         {at("shelf2/"), "Shelf2"}, {at("disc/"), "Disc"},
                         {at("gone/"), "Gone"},     {at("vanished/"), "Vanished"}};
        volumes->ready = {{at("disc/"), false}, {at("vanished/"), true}};
        FolderTree::VolumeSource::install(std::move(volumes));
        m_prompts = ScriptedPrompts::install();
    }

    void cleanup()
    {
        FolderTree::VolumeSource::install(nullptr);
        Prompts::install(nullptr);
    }

    // The open folder, its ancestors above it from the root down, its
    // visible sub-folders below, and the volume holding it.
    void startFolderOpensWithItsLines_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("open");
        QTest::addColumn<QString>("volume");
        QTest::addColumn<QStringList>("tail");
        const QStringList series = {"Series +", "  Alpha -", "  beta -", "  Gamma -"};
        QTest::newRow("folder, dot folder hidden")
            << "shelf/Series" << "shelf/Series/" << "Shelf" << series;
        QTest::newRow("missing: nearest ancestor still there")
            << "shelf/Series/Gone/Deeper/" << "shelf/Series/" << "Shelf" << series;
        QTest::newRow("order ignores case, twins both shown")
            << "shelf/" << "shelf/" << "Shelf"
            << QStringList{"shelf +", "  Comics -", "  comics -", "  Series -"};
        QTest::newRow("name sharing a volume's prefix is not on it")
            << "shelfish" << "shelfish/" << "File System" << QStringList{"shelfish +"};
    }
    void startFolderOpensWithItsLines()
    {
        QFETCH(QString, start);
        QFETCH(QString, open);
        QFETCH(QString, volume);
        QFETCH(QStringList, tail);
        const auto dialog = shown(at(start));
        QCOMPARE(dialog->Dir1->path(), at(open));
        QCOMPARE(dialog->Drive1->currentText(), volume);
        QCOMPARE(shownLines(dialog->Dir1, at(open)), tail);
        const QStringList all = shownLines(dialog->Dir1, "/");
        QCOMPARE(all.first(), QStringLiteral("/ +"));
        QCOMPARE(all.size(), at(open).count(u'/') + tail.size() - 1);
        QVERIFY(m_prompts->shown.isEmpty());
    }

    // With beta highlighted (one click) or opened (double-click): what ends
    // the dialog and which folder it returns; "" when cancelled.
    void endingTheDialog_data()
    {
        QTest::addColumn<bool>("opened");
        QTest::addColumn<QString>("widget");
        QTest::addColumn<int>("key"); // 0: a mouse click; -1: the close box
        QTest::addColumn<QString>("chosen");
        QTest::newRow("highlighted, OK") << false << "cmdOk" << 0 << "shelf/Series/";
        QTest::newRow("opened, OK") << true << "cmdOk" << 0 << "shelf/Series/beta/";
        QTest::newRow("Enter") << false << "Dir1" << int(Qt::Key_Return) << "shelf/Series/";
        QTest::newRow("Esc") << true << "Dir1" << int(Qt::Key_Escape) << "";
        QTest::newRow("Cancel button") << false << "cmdCancel" << 0 << "";
        QTest::newRow("close box") << false << "" << -1 << "";
    }
    void endingTheDialog()
    {
        QFETCH(bool, opened);
        QFETCH(QString, widget);
        QFETCH(int, key);
        QFETCH(QString, chosen);
        const auto dialog = shown(at("shelf/Series/"));
        DirListBox *list = dialog->Dir1;
        QTreeWidgetItem *beta = lineFor(list, at("shelf/Series/beta/"));
        list->scrollToItem(beta);
        const QPoint centre = list->visualItemRect(beta).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
        if (opened) // as the window system delivers it: press, release, double-click
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
        QCOMPARE(list->path(), at(opened ? "shelf/Series/beta/" : "shelf/Series/"));
        QCOMPARE(DirListBox::pathOf(list->currentItem()), at("shelf/Series/beta/"));
        auto *target = dialog->findChild<QWidget *>(widget);
        if (key < 0)
            dialog->close();
        else if (key == 0)
            QTest::mouseClick(target, Qt::LeftButton);
        else
            QTest::keyClick(target, Qt::Key(key));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->Cancelled, chosen.isEmpty());
        if (!chosen.isEmpty())
            QCOMPARE(dialog->SorvikPath, at(chosen));
    }

    void volumeThatCannotOpenPutsTheListBack_data()
    {
        QTest::addColumn<QString>("volume");
        QTest::addColumn<int>("boxes");
        QTest::newRow("reports not ready: the box") << "Disc" << 1;
        QTest::newRow("root missing: the box") << "Gone" << 1;
        QTest::newRow("ready but no root folder: no box") << "Vanished" << 0;
    }
    void volumeThatCannotOpenPutsTheListBack()
    {
        QFETCH(QString, volume);
        QFETCH(int, boxes);
        const auto dialog = shown(at("shelf/Series/"));
        dialog->Drive1->setCurrentIndex(dialog->Drive1->findText(volume));
        QCOMPARE(m_prompts->shown.size(), boxes);
        if (boxes)
            QCOMPARE(m_prompts->shown.first().message.text,
                     QStringLiteral("The requested drive is currently unavailable.\r\n"
                                    "Did you forget to put in the cd?"));
        QCOMPARE(dialog->Drive1->currentText(), QStringLiteral("Shelf"));
        QCOMPARE(dialog->Dir1->path(), at("shelf/Series/"));
        // The next choice is the user's again, not swallowed as the echo.
        dialog->Drive1->setCurrentIndex(dialog->Drive1->findText("Shelf2"));
        QCOMPARE(dialog->Dir1->path(), at("shelf2/"));
        QCOMPARE(m_prompts->shown.size(), boxes);
    }
};

PAGORA_TEST_MAIN(TestBrowse)
#include "tst_browse.moc"
