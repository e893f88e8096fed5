#include "platform/settings_store.h"

#include <QSettings>

namespace kapitolo {

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QStringLiteral("Ostrabel"), QStringLiteral("Kapitolo")))
{
}

SettingsStore::SettingsStore(const QString &iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::findKey(const QString &name) const
{
    if (m_settings->contains(name))
        return name;
    const QStringList keys = m_settings->childKeys();
    for (const QString &key : keys)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return key;
    return {};
}

std::optional<qint32> SettingsStore::readInt(const QString &name) const
{
    const QString key = findKey(name);
    if (key.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qlonglong value = m_settings->value(key).toString().trimmed().toLongLong(&ok);
    if (!ok || value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return qint32(value);
}

std::optional<bool> SettingsStore::readBool(const QString &name) const
{
    const QString key = findKey(name);
    if (key.isEmpty())
        return std::nullopt;
    const QString text = m_settings->value(key).toString().trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return value != 0;
}

std::optional<QString> SettingsStore::readString(const QString &name) const
{
    const QString key = findKey(name);
    if (key.isEmpty())
        return std::nullopt;
    return m_settings->value(key).toString();
}

void SettingsStore::writeBool(const QString &name, bool value)
{
    writeInt(name, value ? 1 : 0);
}

// A value that exists under another spelling keeps that spelling, as the registry does.
void SettingsStore::writeInt(const QString &name, qint32 value)
{
    const QString key = findKey(name);
    m_settings->setValue(key.isEmpty() ? name : key, value);
}

void SettingsStore::writeString(const QString &name, const QString &value)
{
    const QString key = findKey(name);
    m_settings->setValue(key.isEmpty() ? name : key, value);
}

bool SettingsStore::sync()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

} // namespace kapitolo
