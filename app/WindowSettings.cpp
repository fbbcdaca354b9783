#include "app/WindowSettings.h"

#include <QRegularExpression>
#include <algorithm>

QPoint DefaultWindowPosition(QSize screen)
{
    return {(screen.width() - MainWindowLayoutSize.width()) / 2,
            (screen.height() - MainWindowDefaultHeight) / 2};
}

QString GameTextOnOneLine(const QString &text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    return QString(text).replace(lineBreak, QStringLiteral(" "));
}

// The section and name of a key as the settings file takes them.
template <typename Key>
static QString sectionOf(const Key &key)
{
    return QString::fromLatin1(key.section);
}

template <typename Key>
static QString nameOf(const Key &key)
{
    return QString::fromLatin1(key.name);
}

bool ReadSetting(const IniFile &ini, const SettingKey<bool> &key)
{
    return ini.ReadIniBool(sectionOf(key), nameOf(key), key.defaultValue);
}

qint32 ReadSetting(const IniFile &ini, const SettingKey<qint32> &key)
{
    return ini.ReadIniInteger(sectionOf(key), nameOf(key), key.defaultValue);
}

QString ReadSetting(const IniFile &ini, const SettingKey<const char *> &key)
{
    return ini.ReadIniString(sectionOf(key), nameOf(key), QString::fromLatin1(key.defaultValue));
}

qint32 ReadSetting(const IniFile &ini, const ComputedSettingKey<qint32> &key, qint32 def)
{
    return ini.ReadIniInteger(sectionOf(key), nameOf(key), def);
}

QDate ReadSetting(const IniFile &ini, const ComputedSettingKey<QDate> &key, QDate def)
{
    return ini.ReadIniDate(sectionOf(key), nameOf(key), def);
}

QString ReadSetting(const IniFile &ini, const ComputedSettingKey<QString> &key, const QString &def)
{
    return ini.ReadIniString(sectionOf(key), nameOf(key), def);
}

void WriteSetting(IniFile &ini, const SettingKey<bool> &key, bool value)
{
    ini.WriteIniBool(sectionOf(key), nameOf(key), value);
}

void WriteSetting(IniFile &ini, const SettingKey<qint32> &key, qint32 value)
{
    ini.WriteIniInteger(sectionOf(key), nameOf(key), value);
}

void WriteSetting(IniFile &ini, const SettingKey<const char *> &key, const QString &value)
{
    ini.WriteIniString(sectionOf(key), nameOf(key), value);
}

void WriteSetting(IniFile &ini, const ComputedSettingKey<qint32> &key, qint32 value)
{
    ini.WriteIniInteger(sectionOf(key), nameOf(key), value);
}

void WriteSetting(IniFile &ini, const ComputedSettingKey<QDate> &key, QDate value)
{
    ini.WriteIniDate(sectionOf(key), nameOf(key), value);
}
