#include "platform/Registry.h"

#include <QHash>

namespace Registry {

namespace {

struct OpenKey {
    qint32 root;
    QString keyName;
};

struct State {
    QList<RegistryValue> values;
    QHash<qint32, OpenKey> open;
    qint32 nextHandle = 1;
};

State &state()
{
    static State instance;
    return instance;
}

bool isRoot(qint32 root)
{
    return root == RegistryRoot::ClassesRoot || root == RegistryRoot::CurrentUser
           || root == RegistryRoot::LocalMachine || root == RegistryRoot::Users;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A key exists when a value lies in it or below it.
bool keyExists(qint32 root, const QString &keyName)
{
    if (keyName.isEmpty())
        return true;
    const QString below = keyName + QLatin1Char('\\');
    for (const RegistryValue &value : state().values) {
        if (value.root != root)
            continue;
        if (sameName(value.keyName, keyName)
            || value.keyName.startsWith(below, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

qint32 openKey(qint32 root, const QString &keyName, qint32 /*access*/, qint32 &key)
{
    if (!isRoot(root))
        return RegistryStatus::InvalidHandle;
    if (!keyExists(root, keyName))
        return RegistryStatus::FileNotFound;
    State &s = state();
    key = s.nextHandle++;
    s.open.insert(key, {root, keyName});
    return RegistryStatus::Success;
}

qint32 queryValue(qint32 key, const QString &valueName, qint32 &type, QByteArray &data)
{
    const auto found = state().open.constFind(key);
    if (found == state().open.constEnd())
        return RegistryStatus::InvalidHandle;
    for (const RegistryValue &value : state().values) {
        if (value.root != found->root || !sameName(value.keyName, found->keyName)
            || !sameName(value.valueName, valueName))
            continue;
        type = value.type;
        if (value.data.size() > data.size())
            return RegistryStatus::MoreData;
        data = value.data;
        return RegistryStatus::Success;
    }
    return RegistryStatus::FileNotFound;
}

qint32 closeKey(qint32 key)
{
    return state().open.remove(key) ? RegistryStatus::Success : RegistryStatus::InvalidHandle;
}

void setInjectedValues(const QList<RegistryValue> &values)
{
    state().values = values;
    state().open.clear();
}

int openKeyCount()
{
    return int(state().open.size());
}

} // namespace Registry
