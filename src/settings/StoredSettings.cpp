#include "settings/StoredSettings.h"

#include <QMetaType>
#include <QVariant>
#include <limits>

namespace kinetar::settings {

namespace {

// The longest text the reader takes: its buffer holds 999 characters with the terminating zero.
constexpr qsizetype kMaxTextLength = 998;

// Opened for each load or store and closed right after, so every window sees what the last one
// wrote, also from another running copy of the program.
class SettingsKey : public QSettings {
public:
    SettingsKey() : QSettings(QStringLiteral("Tavrel"), QStringLiteral("Kinetar"))
    {
        // The user's own values only, never a system-wide file's in their place.
        setFallbacksEnabled(false);
    }
};

bool FitsInt32(qlonglong number)
{
    return number >= std::numeric_limits<std::int32_t>::min() && number <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace

std::int32_t ReadSettingNumber(QSettings& key, const QString& name, std::int32_t defaultValue)
{
    const QVariant value = key.value(name);
    bool ok = false;
    qlonglong number = 0;
    switch (value.typeId()) {
    // The configuration file holds every plain value as text; only a whole decimal number counts.
    case QMetaType::QString:
        number = value.toString().toLongLong(&ok, 10);
        break;
    // Typed values come from the Windows registry (a DWORD) or a value written by hand with a type.
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        number = value.toLongLong(&ok);
        ok = ok && (value.typeId() != QMetaType::ULongLong || value.toULongLong() <= 0x7FFFFFFFu);
        break;
    default:
        break;
    }
    if (!ok || !FitsInt32(number)) {
        return defaultValue;
    }
    return static_cast<std::int32_t>(number);
}

void WriteSettingNumber(QSettings& key, const QString& name, std::int32_t value)
{
    key.setValue(name, static_cast<int>(value));
}

QString ReadSettingText(QSettings& key, const QString& name, const QString& defaultValue)
{
    const QVariant value = key.value(name);
    // A list or a typed value is not a text.
    if (value.typeId() != QMetaType::QString) {
        return defaultValue;
    }
    QString text = value.toString();
    if (text.size() > kMaxTextLength) {
        return defaultValue;
    }
    // The stored text ends at its terminating zero.
    if (const qsizetype zero = text.indexOf(QChar(u'\0')); zero >= 0) {
        text.truncate(zero);
    }
    return text;
}

void WriteSettingText(QSettings& key, const QString& name, const QString& text)
{
    key.setValue(name, text);
}

MainWindowSettings LoadMainSettings(const MainWindowSettings& current)
{
    SettingsKey key;
    MainWindowSettings values;
    values.Left = ReadSettingNumber(key, QStringLiteral("mx"), current.Left);
    values.Top = ReadSettingNumber(key, QStringLiteral("my"), current.Top);
    values.Width = ReadSettingNumber(key, QStringLiteral("mw"), current.Width);
    values.Height = ReadSettingNumber(key, QStringLiteral("mh"), current.Height);
    values.PanelWidth = ReadSettingNumber(key, QStringLiteral("pW"), current.PanelWidth);
    values.LastProject = ReadSettingText(key, QStringLiteral("LastProject"), current.LastProject);
    return values;
}

void StoreMainSettings(const MainWindowSettings& values)
{
    SettingsKey key;
    WriteSettingNumber(key, QStringLiteral("mx"), values.Left);
    WriteSettingNumber(key, QStringLiteral("my"), values.Top);
    WriteSettingNumber(key, QStringLiteral("mw"), values.Width);
    WriteSettingNumber(key, QStringLiteral("mh"), values.Height);
    WriteSettingNumber(key, QStringLiteral("pW"), values.PanelWidth);
    WriteSettingText(key, QStringLiteral("LastProject"), values.LastProject);
    key.sync();
}

QPoint LoadWindowPosition(QPoint current)
{
    SettingsKey key;
    return {ReadSettingNumber(key, QStringLiteral("ax"), current.x()),
            ReadSettingNumber(key, QStringLiteral("ay"), current.y())};
}

void StoreWindowPosition(QPoint position)
{
    SettingsKey key;
    WriteSettingNumber(key, QStringLiteral("ax"), position.x());
    WriteSettingNumber(key, QStringLiteral("ay"), position.y());
    key.sync();
}

bool LoadThumbnailsShown()
{
    SettingsKey key;
    return ReadSettingNumber(key, QStringLiteral("Thumbnails"), 1) != 0;
}

void StoreThumbnailsShown(bool shown)
{
    SettingsKey key;
    WriteSettingNumber(key, QStringLiteral("Thumbnails"), shown ? 1 : 0);
    key.sync();
}

}  // namespace kinetar::settings
