#include "dialogs/frmBrowse.h"

#include "platform/PlatformError.h"
#include "platform/Prompts.h"
#include "platform/Twips.h"
#include "platform/WindowStyle.h"

#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>

using WindowStyle::placed;

using FolderTree::Volume;

namespace {

// Client area at the design size.
constexpr int kClientWidth = 4080;
constexpr int kClientHeight = 2715;

constexpr int kPathRole = Qt::UserRole;

// The folder icons of the directory list, drawn here rather than shipped.
QIcon folderIcon(bool open)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor outline(140, 104, 20);
    p.setPen(QPen(outline, 1));
    // Tab and back of the folder.
    p.setBrush(open ? QColor(214, 166, 46) : QColor(242, 201, 76));
    p.drawRect(QRectF(1.5, 2.5, 5, 2));
    p.drawRect(QRectF(1.5, 3.5, 13, 10));
    if (open) {
        // The front flap, tipped forward.
        p.setBrush(QColor(250, 222, 128));
        const QPointF flap[] = {{4.5, 7.5}, {15.5, 7.5}, {13.0, 13.5}, {1.5, 13.5}};
        p.drawPolygon(flap, 4);
    }
    QIcon icon(pixmap);
    // The same picture on the highlighted line, not a tinted one.
    icon.addPixmap(pixmap, QIcon::Selected);
    return icon;
}

const QIcon &openFolderIcon()
{
    static const QIcon icon = folderIcon(true);
    return icon;
}

const QIcon &closedFolderIcon()
{
    static const QIcon icon = folderIcon(false);
    return icon;
}

// The label's two lines were measured for a narrower type than most here;
// a smaller size keeps the whole text inside its box.
void fitText(QLabel *label)
{
    QFont font = label->font();
    const QRect box(0, 0, label->width(), QWIDGETSIZE_MAX);
    while (font.pointSizeF() > 6.0
           && QFontMetrics(font).boundingRect(box, Qt::TextWordWrap, label->text()).height()
                  > label->height()) {
        font.setPointSizeF(font.pointSizeF() - 0.25);
    }
    label->setFont(font);
}

} // namespace

// ---- DirListBox --------------------------------------------------------------

DirListBox::DirListBox(QWidget *parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    // Every line is always shown; a double-click opens, it never folds.
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setIndentation(10);
    setUniformRowHeights(true);
    // Deep paths scroll sideways instead of being cut off.
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *item) { openLine(item); });
}

void DirListBox::setVolumes(const QList<Volume> &volumes)
{
    m_volumes = volumes;
}

QString DirListBox::pathOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, kPathRole).toString() : QString();
}

int DirListBox::failureFor(const QString &folder) const
{
    if (folder.isEmpty())
        return ErrorNumber::PathNotFound;
    const int volume = FolderTree::volumeIndexOf(folder, m_volumes);
    if (volume >= 0 && !FolderTree::VolumeSource::current().isReady(m_volumes[volume].root))
        return ErrorNumber::DeviceUnavailable;
    if (!m_fileSystem.folderExists(folder))
        return ErrorNumber::PathNotFound;
    return 0;
}

bool DirListBox::canOpen(const QString &path) const
{
    return failureFor(FolderTree::folderPath(path)) == 0;
}

void DirListBox::setPath(const QString &path)
{
    const QString folder = FolderTree::folderPath(path);
    switch (failureFor(folder)) {
    case 0: break;
    case ErrorNumber::DeviceUnavailable: throw PlatformError(ErrorNumber::DeviceUnavailable);
    default: throw PlatformError(ErrorNumber::PathNotFound);
    }

    QStringList names;
    for (const FsFolder &sub : m_fileSystem.subFolders(folder))
        names.append(sub.name());
    const auto lines = FolderTree::directoryLines(folder, FolderTree::visibleSubFolders(names));

    clear();
    // Each line hangs under the last line one step less indented.
    QList<QTreeWidgetItem *> parents;
    QTreeWidgetItem *openItem = nullptr;
    for (const FolderTree::DirLine &line : lines) {
        parents.resize(line.indent);
        auto *item = parents.isEmpty() ? new QTreeWidgetItem(this)
                                       : new QTreeWidgetItem(parents.last());
        item->setText(0, line.name);
        item->setData(0, kPathRole, line.path);
        item->setIcon(0, line.open ? openFolderIcon() : closedFolderIcon());
        parents.append(item);
        if (line.open)
            openItem = item;
    }
    expandAll();
    setCurrentItem(openItem);
    scrollToItem(openItem);
    m_path = folder;
    emit pathChanged(m_path);
}

// The icons say open or closed; fold arrows would offer a folding this list
// does not do, so the indent stays blank.
void DirListBox::drawBranches(QPainter *, const QRect &, const QModelIndex &) const {}

void DirListBox::openLine(QTreeWidgetItem *item)
{
    const QString target = pathOf(item);
    if (target.isEmpty() || target == m_path)
        return;
    try {
        setPath(target);
    } catch (const PlatformError &) {
        // The folder went away or its volume is not ready: the list stays,
        // as a folder list does when a line cannot be opened.
    }
}

// ---- frmBrowse ---------------------------------------------------------------

frmBrowse::frmBrowse(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmBrowse"));
    setWindowTitle(QStringLiteral("Select Pagora Folder"));
    setFont(WindowStyle::controlFont());
    createControls();
    resize(Twips::toPixels(kClientWidth), Twips::toPixels(kClientHeight));
    Form_Load();
}

void frmBrowse::createControls()
{
    // Created in tab order, so the volume list has the focus first.
    Drive1 = placed(new QComboBox(this), QStringLiteral("Drive1"), 60, 600, 2895, 315);
    Dir1 = placed(new DirListBox(this), QStringLiteral("Dir1"), 60, 960, 2835, 1665);
    Label1 = placed(new QLabel(QStringLiteral("Select folder containing the pagora chapters. "
                                              "(Either .zip files or sub-folders.)"),
                               this),
                    QStringLiteral("Label1"), 60, 60, 2895, 435);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    fitText(Label1);
    cmdOk = placed(new QPushButton(QStringLiteral("&Ok"), this), QStringLiteral("cmdOk"), 3120, 60,
                   855, 375);
    cmdOk->setDefault(true);
    cmdCancel = placed(new QPushButton(QStringLiteral("&Cancel"), this),
                       QStringLiteral("cmdCancel"), 3120, 540, 855, 375);
    setTabOrder(Drive1, Dir1);
    setTabOrder(Dir1, cmdOk);
    setTabOrder(cmdOk, cmdCancel);

    m_volumes = FolderTree::VolumeSource::current().volumes();
    for (const Volume &volume : m_volumes)
        Drive1->addItem(volume.label, volume.root);
    Dir1->setVolumes(m_volumes);

    // A change of volume by the user or by code opens its root at once.
    connect(Drive1, &QComboBox::currentIndexChanged, this, [this] { Drive1_Change(); });
    connect(Dir1, &DirListBox::pathChanged, this, [this](const QString &p) { showVolumeOf(p); });
    connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmBrowse::Form_Load()
{
    Cancelled = true;
    showDefaults();
}

// Without a start folder both lists show the home folder, where a desktop
// user's files are; should it be missing, its nearest ancestor.
void frmBrowse::showDefaults()
{
    const QString home = FolderTree::nearestOpenable(
        QDir::homePath(), [this](const QString &p) { return Dir1->canOpen(p); });
    if (home.isEmpty())
        return;
    try {
        Dir1->setPath(home);
    } catch (const PlatformError &) {
    }
}

void frmBrowse::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Form_Activate();
}

void frmBrowse::Form_Activate()
{
    if (m_activated)
        return;
    m_activated = true;
    if (SorvikPath.trimmed().isEmpty())
        return;
    const int volume = FolderTree::volumeIndexOf(SorvikPath, m_volumes);
    if (volume >= 0)
        Drive1->setCurrentIndex(volume);
    // A start folder that has gone opens at its nearest ancestor still there,
    // which is where the user most likely wants to look next.
    const QString start = FolderTree::nearestOpenable(
        SorvikPath, [this](const QString &p) { return Dir1->canOpen(p); });
    if (start.isEmpty())
        return;
    try {
        Dir1->setPath(start);
    } catch (const PlatformError &) {
    }
}

void frmBrowse::Drive1_Change()
{
    if (m_skipDriveChange) {
        m_skipDriveChange = false;
        return;
    }
    const int index = Drive1->currentIndex();
    if (index < 0 || index >= m_volumes.size())
        return;
    try {
        Dir1->setPath(m_volumes[index].root);
    } catch (const PlatformError &error) {
        if (error.number() == ErrorNumber::DeviceUnavailable)
            showMessage(QStringLiteral("Drive Unavailable"),
                        QStringLiteral("The requested drive is currently unavailable.\r\n"
                                       "Did you forget to put in the cd?"),
                        PromptIcon::Information);
        // Back to the volume of the folder still open. Only a real change
        // runs the handler again, so only then is there one to skip.
        const int back = FolderTree::volumeIndexOf(Dir1->path(), m_volumes);
        if (back >= 0 && back != Drive1->currentIndex()) {
            m_skipDriveChange = true;
            Drive1->setCurrentIndex(back);
        }
    }
}

// The volume list follows the directory list, as a drive list shows the
// drive of its folder; this is no choice of the user's, so nothing runs.
void frmBrowse::showVolumeOf(const QString &folder)
{
    const int volume = FolderTree::volumeIndexOf(folder, m_volumes);
    if (volume < 0 || volume == Drive1->currentIndex())
        return;
    const QSignalBlocker quiet(Drive1);
    Drive1->setCurrentIndex(volume);
}

void frmBrowse::cmdOk_Click()
{
    SorvikPath = Dir1->path();
    Cancelled = false;
    QDialog::accept();
}

void frmBrowse::cmdCancel_Click()
{
    Cancelled = true;
    QDialog::reject();
}

void frmBrowse::reject()
{
    cmdCancel_Click();
}

std::optional<QString> frmBrowse::chooseFolder(QWidget *parent, const QString &startFolder)
{
    frmBrowse dialog(parent);
    dialog.SorvikPath = startFolder;
    dialog.exec();
    if (dialog.Cancelled)
        return std::nullopt;
    return dialog.SorvikPath;
}
