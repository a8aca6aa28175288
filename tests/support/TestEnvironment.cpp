#include "TestEnvironment.h"

#include <QDir>
#include <QUuid>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

static QString g_root;

TestEnvironment::TestEnvironment()
{
    const char *base = std::getenv("TMPDIR");
    std::string root = std::string(base && *base ? base : "/tmp") + "/pagora-test-XXXXXX";
    if (!mkdtemp(root.data()))
        throw std::runtime_error("cannot make the test root folder");
    g_root = QString::fromStdString(root);
    for (const auto &[variable, sub] :
         {std::pair("XDG_CONFIG_HOME", "/config"), std::pair("TMPDIR", "/tmp"),
          std::pair("HOME", "/home"), std::pair("XDG_RUNTIME_DIR", "/runtime")}) {
        std::filesystem::create_directories(root + sub);
        setenv(variable, (root + sub).c_str(), 1);
    }
    std::filesystem::permissions(root + "/runtime", std::filesystem::perms::owner_all);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

TestEnvironment::~TestEnvironment()
{
    QDir(g_root).removeRecursively();
}

QString TestEnvironment::root()
{
    return g_root;
}

QString TestEnvironment::freshFolder(const QString &name)
{
    const QString path = g_root + QStringLiteral("/fixtures/") + name + QLatin1Char('-')
                         + QUuid::createUuid().toString(QUuid::Id128).left(8);
    return QDir().mkpath(path), path;
}

QString TestEnvironment::settingsFile()
{
    return g_root + QStringLiteral("/config/SorvikViewer/SorvikViewer.ini");
}
