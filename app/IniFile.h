// The settings file: INI sections and keys, read and written one key at a
// time at an explicit path. Reads never fail (the default comes back); each
// write is on disk, atomically, when the call returns.
#pragma once

#include <QDate>
#include <QString>

// The year of a two-digit year ("26") in the century that puts it within 50
// years of currentYear; of the two that are exactly 50 years away, the
// earlier.
[[nodiscard]] int TwoDigitYearNear(int twoDigits, int currentYear);

class IniFile
{
public:
    explicit IniFile(QString path);

    [[nodiscard]] const QString &path() const { return m_path; }

    [[nodiscard]] qint32 ReadIniInteger(const QString &section, const QString &key, qint32 def) const;
    [[nodiscard]] bool ReadIniBool(const QString &section, const QString &key, bool def) const;
    [[nodiscard]] QString ReadIniString(const QString &section, const QString &key, const QString &def) const;
    // yyyy-mm-dd, or the user's short date format of files written by
    // earlier versions; a two-digit year there, see TwoDigitYearNear.
    [[nodiscard]] QDate ReadIniDate(const QString &section, const QString &key, QDate def) const;

    // Throw PlotwiseError("Unable to write to <full path>") when refused; the
    // file is then left as it was. Dates are written as yyyy-mm-dd; a string
    // keeps to its one line, line breaks written as blanks.
    void WriteIniInteger(const QString &section, const QString &key, qint32 value);
    void WriteIniBool(const QString &section, const QString &key, bool value);
    void WriteIniString(const QString &section, const QString &key, const QString &value);
    void WriteIniDate(const QString &section, const QString &key, QDate value);

private:
    QString m_path;
};
