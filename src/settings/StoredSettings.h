#pragma once

#include <QPoint>
#include <QSettings>
#include <QString>
#include <cstdint>

namespace kinetar::settings {

// The four helpers over the open settings object QSettings("Tavrel", "Kinetar") (on Linux the file
// $XDG_CONFIG_HOME/Tavrel/Kinetar.conf), value names at top level. Nothing is reported: a value that
// is missing or unusable reads as the default.
std::int32_t ReadSettingNumber(QSettings& key, const QString& name, std::int32_t defaultValue);
void WriteSettingNumber(QSettings& key, const QString& name, std::int32_t value);
// A text of 999 characters or more does not fit the reader's buffer and reads as the default.
QString ReadSettingText(QSettings& key, const QString& name, const QString& defaultValue);
void WriteSettingText(QSettings& key, const QString& name, const QString& text);

// The main window's values: "mx", "my", "mw", "mh", "pW", "LastProject".
struct MainWindowSettings {
    std::int32_t Left = 188, Top = 55, Width = 578, Height = 470, PanelWidth = 406;
    QString LastProject;
};
// Each value missing or unreadable keeps what `current` holds.
MainWindowSettings LoadMainSettings(const MainWindowSettings& current);
void StoreMainSettings(const MainWindowSettings& values);
// The settings window's "ax"/"ay" (design position 178, 106).
QPoint LoadWindowPosition(QPoint current);
void StoreWindowPosition(QPoint position);
// Whether the frame list shows thumbnails: "Thumbnails", 1 (the default) or 0.
bool LoadThumbnailsShown();
void StoreThumbnailsShown(bool shown);

}  // namespace kinetar::settings
