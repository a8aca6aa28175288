// The folder browser: which lines the directory list shows, which folder OK
// returns, the keys and the close box, and volumes that are not ready.
#include "ScriptedPrompts.h"
#include "TestEnvironment.h"
#include "dialogs/FolderTree.h"
#include "dialogs/frmBrowse.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

// Volumes of the test's own making: those in notReady say they are not
// ready, those in saidReady say they are whatever is there, the rest ask
// the real probe (a missing root is not ready).
class TestVolumes : public FolderTree::VolumeSource {
public:
    QList<FolderTree::Volume> list;
    QStringList notReady, saidReady;

    QList<FolderTree::Volume> volumes() const override { return list; }
    bool isReady(const QString &root) const override
    {
        return saidReady.contains(root)
               || (!notReady.contains(root) && VolumeSource::isReady(root));
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
    QStringList lines;
    int base = -1;
    for (QTreeWidgetItemIterator it(list); *it; ++it) {
        int depth = 0;
        for (auto *p = (*it)->parent(); p; p = p->parent())
            ++depth;
        if (DirListBox::pathOf(*it) == from)
            base = depth;
        if (base >= 0)
            lines.append(QString(2 * (depth - base), u' ') + (*it)->text(0)
                         + ((*it)->icon(0).cacheKey() == openIcon ? " +" : " -"));
    }
    return lines;
}

void doubleClick(DirListBox *list, QTreeWidgetItem *line)
{
    list->scrollToItem(line);
    const QPoint centre = list->visualItemRect(line).center();
    // As the window system delivers it: press, release, double-click.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
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
        for (const char *folder :
             {"shelf/Series/Alpha/Inner", "shelf/Series/beta", "shelf/Series/Gamma",
              "shelf/Series/.cache", "shelf/Comics/Upper", "shelf/comics/lower",
              "shelf/.hidden/Inside", "shelf2/Other", "shelfish", "disc/Series"})
            QDir().mkpath(at(QString::fromLatin1(folder)));
        auto volumes = std::make_unique<TestVolumes>();
        volumes->list = {{"/", "File System"},          {QDir::homePath() + u'/', "Home"},
                         {at("shelf/"), "Shelf"},       {at("shelf2/"), "Shelf2"},
                         {at("disc/"), "Disc"},         {at("gone/"), "Gone"},
                         {at("vanished/"), "Vanished"}};
        volumes->notReady = {at("disc/")};
        volumes->saidReady = {at("vanished/")};
        FolderTree::VolumeSource::install(std::move(volumes));
        m_prompts = ScriptedPrompts::install();
    }

    void cleanup()
    {
        FolderTree::VolumeSource::install(nullptr);
        Prompts::install(nullptr);
    }

    void onlyUserVolumesAreListed_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("listed");
        QTest::newRow("removable medium") << "/run/media/u/STICK" << "vfat" << true;
        QTest::newRow("runtime folder") << "/run/user/1000" << "ext4" << false;
        QTest::newRow("bind-mounted system file") << "/etc/hosts" << "ext4" << false;
        QTest::newRow("pseudo type anywhere") << "/mnt/x" << "proc" << false;
        QTest::newRow("sharing a prefix with a system area") << "/devices" << "ext4" << true;
    }
    void onlyUserVolumesAreListed()
    {
        QFETCH(QString, root);
        QFETCH(QString, type);
        QFETCH(bool, listed);
        QCOMPARE(FolderTree::isUserVolume(root, type), listed);
    }

    void startFolderOpensWithItsLines_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("open");
        QTest::addColumn<QString>("volume");
        QTest::addColumn<QStringList>("tail");
        const QStringList series = {"Series +", "  Alpha -", "  beta -", "  Gamma -"};
        QTest::newRow("folder") << "shelf/Series/" << "shelf/Series/" << "Shelf" << series;
        QTest::newRow("without final slash") << "shelf/Series" << "shelf/Series/" << "Shelf"
                                             << series;
        QTest::newRow("gone: nearest ancestor still there")
            << "shelf/Series/Gone/Deeper/" << "shelf/Series/" << "Shelf" << series;
        QTest::newRow("lower-case twin is its own folder") << "shelf/comics/" << "shelf/comics/"
            << "Shelf" << QStringList{"comics +", "  lower -"};
        QTest::newRow("a hidden folder opened by path is shown") << "shelf/.hidden/"
            << "shelf/.hidden/" << "Shelf" << QStringList{".hidden +", "  Inside -"};
        QTest::newRow("another volume") << "shelf2" << "shelf2/" << "Shelf2"
                                        << QStringList{"shelf2 +", "  Other -"};
        QTest::newRow("name sharing a volume's prefix is not on it")
            << "shelfish" << "shelfish/" << "File System" << QStringList{"shelfish +"};
        QTest::newRow("order ignores case, twins both shown, dot folders not")
            << "shelf" << "shelf/" << "Shelf"
            << QStringList{"shelf +", "  Comics -", "  comics -", "  Series -"};
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
        // Above it, its ancestors from the root down, one level per line.
        const QStringList all = shownLines(dialog->Dir1, "/");
        QCOMPARE(all.first(), QStringLiteral("/ +"));
        QCOMPARE(all.size(), at(open).count(u'/') + tail.size() - 1);
        QVERIFY(m_prompts->shown.isEmpty());
    }

    void withoutStartFolderTheHomeFolderIsOpen_data()
    {
        QTest::addColumn<QString>("start");
        QTest::newRow("empty") << "";
        QTest::newRow("blanks") << "   ";
        QTest::newRow("relative path") << "not/a/folder";
    }
    void withoutStartFolderTheHomeFolderIsOpen()
    {
        QFETCH(QString, start);
        const auto dialog = shown(start);
        QCOMPARE(dialog->Dir1->path(), QDir::homePath() + u'/');
        QCOMPARE(dialog->Drive1->currentText(), QStringLiteral("Home"));
    }

    void doubleClickOpensTheLine_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<QStringList>("tail");
        QTest::newRow("sub-folder") << "shelf/Series/" << "shelf/Series/Alpha/"
                                    << QStringList{"Series +", "  Alpha +", "    Inner -"};
        QTest::newRow("ancestor") << "shelf/Series/Alpha/" << "shelf/Series/"
                                  << QStringList{"Series +", "  Alpha -", "  beta -", "  Gamma -"};
    }
    void doubleClickOpensTheLine()
    {
        QFETCH(QString, start);
        QFETCH(QString, clicked);
        QFETCH(QStringList, tail);
        const auto dialog = shown(at(start));
        doubleClick(dialog->Dir1, lineFor(dialog->Dir1, at(clicked)));
        QCOMPARE(dialog->Dir1->path(), at(clicked));
        QCOMPARE(shownLines(dialog->Dir1, at("shelf/Series/")), tail);
        // Showing the dialog again does not go back to the start folder.
        dialog->hide();
        dialog->show();
        QTest::mouseClick(dialog->cmdOk, Qt::LeftButton);
        QVERIFY(!dialog->Cancelled);
        QCOMPARE(dialog->SorvikPath, at(clicked));
    }

    // Through the modal exec() the main window uses, with a line highlighted
    // (clicked once, not opened): what ends the dialog and what it returns.
    void endingTheDialog_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<int>("key"); // 0: a mouse click; -1: the close box
        QTest::addColumn<bool>("chosen");
        QTest::newRow("OK button") << "cmdOk" << 0 << true;
        QTest::newRow("Enter in the directory list") << "Dir1" << int(Qt::Key_Return) << true;
        QTest::newRow("keypad Enter in the volume list") << "Drive1" << int(Qt::Key_Enter)
                                                         << true;
        QTest::newRow("Cancel button") << "cmdCancel" << 0 << false;
        QTest::newRow("Esc in the directory list") << "Dir1" << int(Qt::Key_Escape) << false;
        QTest::newRow("Esc on OK") << "cmdOk" << int(Qt::Key_Escape) << false;
        QTest::newRow("close box") << "" << -1 << false;
    }
    void endingTheDialog()
    {
        QFETCH(QString, widget);
        QFETCH(int, key);
        QFETCH(bool, chosen);
        bool ended = false;
        QTimer::singleShot(0, this, [&] {
            auto *dialog = qobject_cast<frmBrowse *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QTreeWidgetItem *beta = lineFor(dialog->Dir1, at("shelf/Series/beta/"));
            dialog->Dir1->scrollToItem(beta);
            QTest::mouseClick(dialog->Dir1->viewport(), Qt::LeftButton, {},
                              dialog->Dir1->visualItemRect(beta).center());
            QCOMPARE(dialog->Dir1->currentItem(), beta);
            auto *target = dialog->findChild<QWidget *>(widget);
            if (key < 0)
                dialog->close();
            else if (key == 0)
                QTest::mouseClick(target, Qt::LeftButton);
            else
                QTest::keyClick(target, Qt::Key(key));
            ended = !dialog->isVisible();
        });
        // Whatever went wrong above, the dialog must not stay open.
        QTimer::singleShot(0, this, [] {
            if (QWidget *left = QApplication::activeModalWidget())
                left->close();
        });
        const auto result = frmBrowse::chooseFolder(nullptr, at("shelf/Series/"));
        QVERIFY(ended);
        QCOMPARE(result, chosen ? std::optional<QString>(at("shelf/Series/")) : std::nullopt);
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
        if (boxes) {
            const MessageRequest &box = m_prompts->shown.first().message;
            QCOMPARE(box.title, QStringLiteral("Drive Unavailable"));
            QCOMPARE(box.text, QStringLiteral("The requested drive is currently unavailable.\r\n"
                                              "Did you forget to put in the cd?"));
            QCOMPARE(box.icon, PromptIcon::Information);
            QCOMPARE(box.buttons, PromptButtons::OK);
        }
        QCOMPARE(dialog->Drive1->currentText(), QStringLiteral("Shelf"));
        QCOMPARE(dialog->Dir1->path(), at("shelf/Series/"));

        // The next choice is the user's again, not swallowed as the echo.
        dialog->Drive1->setCurrentIndex(dialog->Drive1->findText("Shelf2"));
        QCOMPARE(dialog->Dir1->path(), at("shelf2/"));
        QCOMPARE(m_prompts->shown.size(), boxes);
    }

    void startOnUnavailableVolumeGivesOneBoxAndOpensNearestReachable()
    {
        const auto dialog = shown(at("disc/Series/"));
        QCOMPARE(m_prompts->shown.size(), 1);
        QCOMPARE(m_prompts->shown.first().message.title, QStringLiteral("Drive Unavailable"));
        QCOMPARE(dialog->Dir1->path(), m_root + u'/');
        QCOMPARE(dialog->Drive1->currentText(), QStringLiteral("File System"));
    }
};

PAGORA_TEST_MAIN(TestBrowse)
#include "tst_browse.moc"
