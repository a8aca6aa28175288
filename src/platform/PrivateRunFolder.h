#pragma once

#include <QString>
#include <QTemporaryDir>

// The folder of this run for temporary page files: private (mode 0700),
// under $TMPDIR, removed with everything in it when the object goes.
// Two readers running at once never share one.
class PrivateRunFolder {
public:
    PrivateRunFolder();

    bool isValid() const { return m_dir.isValid(); }
    // The folder path ending with "/"; empty when it could not be made.
    QString path() const;
    // Why it could not be made, naming the folder it was to be made in.
    QString failure() const;

private:
    QString m_parent;
    QTemporaryDir m_dir;
};
