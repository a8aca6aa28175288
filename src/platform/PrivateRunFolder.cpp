#include "platform/PrivateRunFolder.h"

#include <QDir>
#include <QFile>

PrivateRunFolder::PrivateRunFolder()
    : m_dir(QDir::tempPath() + QStringLiteral("/pagora-viewer-XXXXXX"))
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
