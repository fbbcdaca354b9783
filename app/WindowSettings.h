// What the main window stores in and restores from the settings file: its
// keys, and the rules besides the plain control values.
#pragma once

#include "app/IniFile.h"

#include <QDate>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

// The window's layout size, its minimum, and the height that the default
// position is computed with.
inline constexpr QSize MainWindowLayoutSize{650, 633};
inline constexpr QSize MainWindowMinimumSize{185, 633};
inline constexpr int MainWindowDefaultHeight = 500;

// One key of the settings file with its section, and the default that a
// missing key reads as.
template <typename T>
struct SettingKey {
    const char *section;
    const char *name;
    T defaultValue;
};

// A key whose default the start computes (a position, today's date).
template <typename T>
struct ComputedSettingKey {
    const char *section;
    const char *name;
};

// The main window's keys, in the order the close writes them; the start
// reads them and the close writes them through these declarations only.
namespace MainWindowKeys {
inline constexpr char Section[] = "form_main";
inline constexpr SettingKey<bool> Maximized{Section, "maximized", false};
inline constexpr SettingKey<qint32> WinWidth{Section, "win_width", MainWindowLayoutSize.width()};
inline constexpr SettingKey<qint32> WinHeight{Section, "win_height", MainWindowDefaultHeight};
inline constexpr ComputedSettingKey<qint32> WinLeft{Section, "win_left"};
inline constexpr ComputedSettingKey<qint32> WinTop{Section, "win_top"};
inline constexpr SettingKey<qint32> Node{Section, "node", -1};
inline constexpr SettingKey<const char *> Game{Section, "game", ""};
inline constexpr SettingKey<bool> Date{Section, "date", false};
inline constexpr SettingKey<bool> VertInverted{Section, "vert_inverted", false};
inline constexpr SettingKey<bool> LogAxis{Section, "log_axis", false};
inline constexpr ComputedSettingKey<QDate> DateFrom{Section, "date_from"};
inline constexpr ComputedSettingKey<QDate> DateTo{Section, "date_to"};
inline constexpr SettingKey<qint32> VertAxis{Section, "vert_axis", 0};
inline constexpr SettingKey<qint32> Values{Section, "values", 0};
} // namespace MainWindowKeys

// The service's base address; the bundled sample service when missing.
inline constexpr ComputedSettingKey<QString> ServiceBaseUrlKey{"service", "base_url"};

// Every key of the settings file, the window's and the service address.
struct SettingName {
    const char *section;
    const char *name;
};
inline constexpr SettingName SettingNames[] = {
    {MainWindowKeys::Maximized.section, MainWindowKeys::Maximized.name},
    {MainWindowKeys::WinWidth.section, MainWindowKeys::WinWidth.name},
    {MainWindowKeys::WinHeight.section, MainWindowKeys::WinHeight.name},
    {MainWindowKeys::WinLeft.section, MainWindowKeys::WinLeft.name},
    {MainWindowKeys::WinTop.section, MainWindowKeys::WinTop.name},
    {MainWindowKeys::Node.section, MainWindowKeys::Node.name},
    {MainWindowKeys::Game.section, MainWindowKeys::Game.name},
    {MainWindowKeys::Date.section, MainWindowKeys::Date.name},
    {MainWindowKeys::VertInverted.section, MainWindowKeys::VertInverted.name},
    {MainWindowKeys::LogAxis.section, MainWindowKeys::LogAxis.name},
    {MainWindowKeys::DateFrom.section, MainWindowKeys::DateFrom.name},
    {MainWindowKeys::DateTo.section, MainWindowKeys::DateTo.name},
    {MainWindowKeys::VertAxis.section, MainWindowKeys::VertAxis.name},
    {MainWindowKeys::Values.section, MainWindowKeys::Values.name},
    {ServiceBaseUrlKey.section, ServiceBaseUrlKey.name},
};

[[nodiscard]] bool ReadSetting(const IniFile &ini, const SettingKey<bool> &key);
[[nodiscard]] qint32 ReadSetting(const IniFile &ini, const SettingKey<qint32> &key);
[[nodiscard]] QString ReadSetting(const IniFile &ini, const SettingKey<const char *> &key);
[[nodiscard]] qint32 ReadSetting(const IniFile &ini, const ComputedSettingKey<qint32> &key,
    qint32 def);
[[nodiscard]] QDate ReadSetting(const IniFile &ini, const ComputedSettingKey<QDate> &key, QDate def);
[[nodiscard]] QString ReadSetting(const IniFile &ini, const ComputedSettingKey<QString> &key,
    const QString &def);
void WriteSetting(IniFile &ini, const SettingKey<bool> &key, bool value);
void WriteSetting(IniFile &ini, const SettingKey<qint32> &key, qint32 value);
void WriteSetting(IniFile &ini, const SettingKey<const char *> &key, const QString &value);
void WriteSetting(IniFile &ini, const ComputedSettingKey<qint32> &key, qint32 value);
void WriteSetting(IniFile &ini, const ComputedSettingKey<QDate> &key, QDate value);

// Default position on a screen of the given size: ((w - 650) div 2,
// (h - 500) div 2), div truncating towards zero.
[[nodiscard]] QPoint DefaultWindowPosition(QSize screen);

// The settings file keeps one line per key: every line break (CR, LF, CR LF)
// of the game box becomes one blank. Blanks separate game IDs exactly as line
// breaks do, so the same game list comes back at the next start.
[[nodiscard]] QString GameTextOnOneLine(const QString &text);
