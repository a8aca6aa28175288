#include "platform/PrivateRunFolder.h"

#include <QDir>
#include <QFile>

PrivateRunFolder::PrivateRunFolder()
    : m_parent(QDir::tempPath()), m_dir(m_parent + QStringLiteral("/pagora-viewer-XXXXXX"))
{
    if (m_dir.isValid())
        QFile::setPermissions(m_dir.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QString PrivateRunFolder::path() const
{
    if (!m_dir.isValid())
        return {};
    return m_dir.path() + QLatin1Char('/');
}

QString PrivateRunFolder::failure() const
{
    if (m_dir.isValid())
        return {};
    return QStringLiteral("cannot make a private folder in %1: %2").arg(m_parent, m_dir.errorString());
}
