#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>

// The folder of this run for temporary page files: private (mode 0700),
// under $TMPDIR, removed with everything in it when the object goes.
// Two readers running at once never share one. The folder holds a lock
// file locked for the whole run, so a later run can tell the folder of a
// run that was killed from the folder of one still going.
class PrivateRunFolder {
public:
    // Makes this run's folder, then removes the folders of dead runs.
    PrivateRunFolder();

    bool isValid() const { return m_dir.isValid(); }
    // The folder path ending with "/"; empty when it could not be made.
    QString path() const;
    // Why it could not be made, naming the folder it was to be made in.
    QString failure() const;

private:
    QFile m_lock; // declared first so the folder goes while it is still locked
    QString m_parent;
    QTemporaryDir m_dir;
};

// Removes the run folders under tempRoot left by runs that are gone: real
// folders (not links) named pagora-viewer-XXXXXX, owned by this user, whose
// lock file exists and is held by nobody. Failures are ignored.
void removeStaleRunFolders(const QString &tempRoot);
