#include "TestEnvironment.h"

#include <QDir>
#include <QUuid>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

TestEnvironment::TestEnvironment()
{
    const char *base = std::getenv("TMPDIR");
    std::string folder = std::string(base && *base ? base : "/tmp") + "/pagora-test-XXXXXX";
    if (!mkdtemp(folder.data()))
        throw std::runtime_error("cannot make the test root folder");
    root = QString::fromStdString(folder);
    for (const auto &[variable, sub] :
         {std::pair("XDG_CONFIG_HOME", "/config"), std::pair("TMPDIR", "/tmp"),
          std::pair("HOME", "/home"), std::pair("XDG_RUNTIME_DIR", "/runtime")}) {
        std::filesystem::create_directories(folder + sub);
        setenv(variable, (folder + sub).c_str(), 1);
    }
    std::filesystem::permissions(folder + "/runtime", std::filesystem::perms::owner_all);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

TestEnvironment::~TestEnvironment()
{
    QDir(root).removeRecursively();
}

QString TestEnvironment::freshFolder(const QString &name)
{
    const QString path = root + QStringLiteral("/fixtures/") + name + QLatin1Char('-')
                         + QUuid::createUuid().toString(QUuid::Id128).left(8);
    return QDir().mkpath(path), path;
}
