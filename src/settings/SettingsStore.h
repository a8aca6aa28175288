#pragma once

#include <QList>
#include <QPair>
#include <QSettings>
#include <QString>

// The only state that outlives a run: text values addressed by application,
// section and key, kept in $XDG_CONFIG_HOME/<application>/<application>.ini
// (~/.config/... without it).
//
// Section "General" is the top of the file; any other section is a group of
// its own. Key names match without regard to case, except in the sections
// keyed by folder paths, whose keys match exactly. An empty section
// or key names nothing: writing to it is dropped, reading gives the default.
//
// A store never fails its caller: what cannot be read gives the default, and
// what cannot be saved stays readable for the rest of the run. All stores on
// one file share one state, so a store is cheap to make where it is needed.
// Use from the GUI thread only.
class SettingsStore {
public:
    // Keys are folder paths here.
    static inline const QString FolderSection = QStringLiteral("PagoraDirs");
    // Keys are folder paths here too: the reading modes of each folder.
    static inline const QString ReadingModesSection = QStringLiteral("ReadingModes");
    // The last folder, chapter and page of the reader.
    static inline const QString GeneralSection = QStringLiteral("General");

    explicit SettingsStore(const QString &application = QStringLiteral("SorvikViewer"));

    // The stored value, or defaultValue when the key is missing or unreadable.
    QString read(const QString &section, const QString &key, const QString &defaultValue) const;
    // Creates or replaces the value; kept in memory until sync() saves it.
    void write(const QString &section, const QString &key, const QString &value);
    // The section's (key, value) pairs in a stable order, each key once;
    // empty when the section is missing.
    QList<QPair<QString, QString>> list(const QString &section) const;
    // Saves the writes made so far in one go (e.g. after the writes of one
    // page shown). A file that cannot be written is tried again next time;
    // false then, with the system's reason in *failure when asked for.
    bool sync(QString *failure = nullptr);

    QString fileName() const;
    // The first trouble met with the file in this run (QSettings keeps it):
    // AccessError when it could not be read or saved, FormatError when it
    // held lines that could not be parsed.
    QSettings::Status status() const;

private:
    QString m_path;
    QSettings *m_settings; // shared by every store on the file, see SettingsStore.cpp
};
