#include "TestEnvironment.h"

#include "ScriptedPrompts.h"

#include <QDir>
#include <QUuid>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {
QString g_root;
}

TestEnvironment::TestEnvironment()
{

    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/pagora-test-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make the test root folder");
    m_root = QString::fromStdString(pattern);
    g_root = m_root;
    for (const char *sub : {"config", "tmp", "home", "runtime"})
        std::filesystem::create_directories(pattern + "/" + sub);
    std::filesystem::permissions(pattern + "/runtime", std::filesystem::perms::owner_all);
    setenv("XDG_CONFIG_HOME", (pattern + "/config").c_str(), 1);
    setenv("TMPDIR", (pattern + "/tmp").c_str(), 1);
    setenv("HOME", (pattern + "/home").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (pattern + "/runtime").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

TestEnvironment::~TestEnvironment()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_root.toStdString(), ignored);
}

QString TestEnvironment::root()
{
    return g_root;
}

QString TestEnvironment::freshFolder(const QString &name)
{
    const QString path = g_root + QStringLiteral("/fixtures/") + name + QLatin1Char('-')
                         + QUuid::createUuid().toString(QUuid::Id128).left(8);
    QDir().mkpath(path);
    return path;
}

QString TestEnvironment::settingsFile()
{
    return g_root + QStringLiteral("/config/SorvikViewer/SorvikViewer.ini");
}

void installQuietPrompts()
{
    ScriptedPrompts::install();
}
