#pragma once

#include <QString>

#include <memory>
#include <optional>

class QSettings;

namespace kapitolo {

// The per-user settings key. Value names are found without regard to case, as the
// registry does; booleans are stored as 0/1, integers as 32-bit numbers.
class SettingsStore
{
public:
    // The program's own key: QSettings("Ostrabel", "Kapitolo").
    SettingsStore();
    // A settings file of its own (tests, or a portable installation).
    explicit SettingsStore(const QString &iniFile);
    ~SettingsStore();

    std::optional<bool> readBool(const QString &name) const;
    std::optional<qint32> readInt(const QString &name) const;
    std::optional<QString> readString(const QString &name) const;

    void writeBool(const QString &name, bool value);
    void writeInt(const QString &name, qint32 value);
    void writeString(const QString &name, const QString &value);

    // Writes everything to its storage; false when that failed.
    bool sync();

private:
    QString findKey(const QString &name) const;

    std::unique_ptr<QSettings> m_settings;
};

} // namespace kapitolo
