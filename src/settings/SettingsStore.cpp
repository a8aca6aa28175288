#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QSet>
#include <QUrl>

#include <sys/stat.h>

// Damaged or unwritable files are left to QSettings, which already does what
// we want (checked against Qt 6.4):
// - Lines it cannot parse (no "=", a "[" without "]", garbage bytes) are
//   skipped and status() turns FormatError; every other line still reads.
//   The next sync rewrites the file from what was readable plus our writes,
//   so the readable values survive and the damage goes away. Invalid UTF-8
//   comes back as U+FFFD. Nothing else could read the skipped lines, so we
//   keep no copy of them.
// - A file it cannot open (a folder in its place, a file where its folder
//   should be) reads as empty and is never overwritten; status() turns
//   AccessError, writes stay in memory and each sync tries again.
// QSettings never resets status(), so it tells the first trouble of the run.

namespace {

// One QSettings per file for the whole run, shared by every store on it:
// writes a file refused stay readable by later stores, which a QSettings of
// their own would lose once the last one on the file went.
QHash<QString, QSettings *> &openFiles()
{
    // Never destroyed: QSettings saves on destruction and must go before Qt's
    // own statics, so the application's post routine closes the files.
    static auto *files = new QHash<QString, QSettings *>;
    return *files;
}

bool g_closeRegistered = false;

// Files with writes not yet saved. QSettings tells neither that nor whether a
// save worked: its status keeps the first trouble of the run.
QSet<QSettings *> &unsaved()
{
    static auto *files = new QSet<QSettings *>;
    return *files;
}

// What tells one version of a file from the next. QSettings saves by writing
// a new file and renaming it over the old one, so a save that worked always
// leaves another file (inode) in place.
struct FileStamp {
    bool regular = false;
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileStamp &) const = default;
};

FileStamp stampOf(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return {true, info.st_dev, info.st_ino};
}

// A pipe, socket or device in the file's place: opening it could wait
// forever or feed it our writes.
bool isSpecialFile(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isFile() && !info.isDir();
}

// Why a file cannot be saved, as the system says it when the file is opened
// for saving the way QSettings saves it.
QString whyUnsaved(const QString &path)
{
    const QFileInfo info(path);
    if (isSpecialFile(path))
        return QStringLiteral("it is not a regular file");
    const QFileInfo folder(info.absolutePath());
    if (folder.exists() && !folder.isDir())
        return QStringLiteral("a file is in the place of its folder");
    if (!QDir().mkpath(folder.filePath()))
        return QStringLiteral("its folder cannot be made");
    if (info.isDir())
        return QStringLiteral("a folder is in its place");
    QSaveFile probe(path);
    if (!probe.open(QIODevice::WriteOnly))
        return probe.errorString();
    probe.cancelWriting();
    return QStringLiteral("it could not be written");
}

void closeOpenFiles()
{
    unsaved().clear();
    for (QSettings *settings : std::as_const(openFiles()))
        delete settings; // saves what is pending
    openFiles().clear();
    g_closeRegistered = false;
}

QSettings *settingsFor(const QString &path)
{
    QSettings *&settings = openFiles()[path];
    if (!settings) {
        // QSettings is given a name under it instead, which cannot be opened:
        // the file reads as empty and every save is refused.
        settings = new QSettings(isSpecialFile(path) ? path + QStringLiteral("/.unusable") : path,
                                 QSettings::IniFormat);
        // Sections parse lazily; parse them all now so status() tells of damage at once.
        settings->allKeys();
    }
    if (!g_closeRegistered && QCoreApplication::instance()) {
        qAddPostRoutine(closeOpenFiles);
        g_closeRegistered = true;
    }
    return settings;
}

QString configHome()
{
    // Relative values are ignored, as the XDG base directory rules ask.
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

bool isTopLevel(const QString &section)
{
    // QSettings reads [General] in any case as the top of the file.
    return section.compare(SettingsStore::GeneralSection, Qt::CaseInsensitive) == 0;
}

QString groupPrefix(const QString &section)
{
    return isTopLevel(section) ? QString() : section + u'/';
}

// Sections whose keys are folder paths, matched exactly.
bool keyedByFolder(const QString &section)
{
    return section == SettingsStore::FolderSection || section == SettingsStore::ReadingModesSection;
}

// Folder paths hold "/" (a group separator to QSettings), "=", ";", "%" and
// anything else; percent-encoding makes each one a single plain key.
// QSettings escapes the "%" once more in the file ("/" is stored as "%252F")
// and undoes it on reading, so the round trip is exact.
QString encodeFolder(const QString &path)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(path));
}

QString decodeFolder(const QString &key)
{
    return QUrl::fromPercentEncoding(key.toUtf8());
}

QStringList childKeys(QSettings &settings, const QString &section)
{
    if (isTopLevel(section))
        return settings.childKeys();
    settings.beginGroup(section);
    const QStringList keys = settings.childKeys();
    settings.endGroup();
    return keys;
}

// The name a key is stored under: its first case variant in the section,
// or the key itself when new.
QString storedName(QSettings &settings, const QString &section, const QString &key)
{
    if (keyedByFolder(section))
        return encodeFolder(key);
    for (const QString &stored : childKeys(settings, section)) {
        if (stored.compare(key, Qt::CaseInsensitive) == 0)
            return stored;
    }
    return key;
}

// We only write strings, but a hand-edited file may hold an unquoted comma
// (QSettings reads a list) or an "@Type(...)" form it turns into another type.
bool asText(const QVariant &value, QString *text)
{
    if (value.typeId() == QMetaType::QStringList) {
        *text = value.toStringList().join(QStringLiteral(", "));
        return true;
    }
    if (!value.isValid() || !value.canConvert<QString>())
        return false;
    *text = value.toString();
    return true;
}

} // namespace

SettingsStore::SettingsStore(const QString &application)
    : m_path(configHome() + u'/' + application + u'/' + application + QStringLiteral(".ini")),
      m_settings(settingsFor(m_path))
{
}

QString SettingsStore::read(const QString &section, const QString &key,
                            const QString &defaultValue) const
{
    if (section.isEmpty() || key.isEmpty())
        return defaultValue;
    QString text;
    const QVariant value = m_settings->value(groupPrefix(section)
                                             + storedName(*m_settings, section, key));
    return asText(value, &text) ? text : defaultValue;
}

void SettingsStore::write(const QString &section, const QString &key, const QString &value)
{
    if (section.isEmpty() || key.isEmpty())
        return;
    const QString prefix = groupPrefix(section);
    unsaved().insert(m_settings);
    if (keyedByFolder(section)) {
        m_settings->setValue(prefix + encodeFolder(key), value);
        return;
    }
    // The first case variant keeps its spelling; a hand-edited file may hold
    // more, and only one may remain.
    QString name;
    for (const QString &stored : childKeys(*m_settings, section)) {
        if (stored.compare(key, Qt::CaseInsensitive) != 0)
            continue;
        if (name.isEmpty())
            name = stored;
        else
            m_settings->remove(prefix + stored);
    }
    m_settings->setValue(prefix + (name.isEmpty() ? key : name), value);
}

QList<QPair<QString, QString>> SettingsStore::list(const QString &section) const
{
    QList<QPair<QString, QString>> pairs;
    if (section.isEmpty())
        return pairs;
    const QString prefix = groupPrefix(section);
    const bool folders = keyedByFolder(section);
    QSet<QString> seen;
    for (const QString &stored : childKeys(*m_settings, section)) {
        QString key = stored;
        if (folders) {
            key = decodeFolder(stored);
            // Keys we did not encode could not be read back by read().
            if (encodeFolder(key) != stored)
                continue;
        } else {
            // The first case variant wins, as in read().
            const QString folded = key.toCaseFolded();
            if (seen.contains(folded))
                continue;
            seen.insert(folded);
        }
        QString text;
        if (asText(m_settings->value(prefix + stored), &text))
            pairs.append({key, text});
    }
    return pairs;
}

bool SettingsStore::sync(QString *failure)
{
    if (!unsaved().contains(m_settings)) {
        m_settings->sync(); // takes in changes made by others
        return true;
    }
    const FileStamp before = stampOf(fileName());
    m_settings->sync();
    const FileStamp after = stampOf(fileName());
    if (after.regular && !(after == before)) {
        unsaved().remove(m_settings);
        return true;
    }
    if (failure)
        *failure = whyUnsaved(fileName());
    return false;
}

QString SettingsStore::fileName() const
{
    return m_path;
}

QSettings::Status SettingsStore::status() const
{
    return m_settings->status();
}
