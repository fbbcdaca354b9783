// The settings file on any bytes: every key of every type reads without
// fault; a written key reads back as written, and no other key changes.
#include "app/IniFile.h"
#include "app/WindowSettings.h"
#include "fuzz/FuzzSupport.h"
#include "service/PlotwiseError.h"

#include <QFile>

#include <iterator>
#include <vector>

namespace {

// Every key the program uses, and one of them spelt in other letter case.
const std::vector<SettingName> keys = [] {
    std::vector<SettingName> all(std::begin(SettingNames), std::end(SettingNames));
    all.push_back({ "FORM_MAIN", "Game" });
    return all;
}();
const size_t keyCount = keys.size();

QString str(const char *text)
{
    return QString::fromLatin1(text);
}

QStringList readAll(const IniFile &ini)
{
    QStringList values;
    for (const SettingName &k : keys) {
        const QString s = str(k.section);
        const QString key = str(k.name);
        values << ini.ReadIniString(s, key, QStringLiteral("<none>"))
               << QString::number(ini.ReadIniInteger(s, key, -77))
               << QString::number(ini.ReadIniBool(s, key, true))
               << ini.ReadIniDate(s, key, QDate(1999, 9, 9)).toString(Qt::ISODate);
    }
    return values;
}

// What a string reads back as: one line, blanks around it dropped, and one
// pair of enclosing quotes.
QString expectedString(QString value)
{
    value.replace(u'\r', u' ').replace(u'\n', u' ');
    QByteArray kept = value.toUtf8().trimmed();
    if (kept.size() >= 2 && (kept.front() == '"' || kept.front() == '\'') && kept.back() == kept.front())
        kept = kept.mid(1, kept.size() - 2);
    return QString::fromUtf8(kept);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // Byte 0 picks the key written, byte 1 how; the rest is the file.
    const SettingName &target = keys[data[0] % keyCount];
    const int kind = data[1] % 3;
    const QString path =
        FuzzWriteScratchFile("plotwise.ini", data + 2, size - 2);
    IniFile ini(path);
    const QStringList before = readAll(ini);

    const QString section = str(target.section);
    const QString key = str(target.name);
    // The value written: the file's own last line, so that the fuzzer
    // controls it too.
    const QByteArray file = FuzzBytes(data + 2, size - 2);
    const QString text = QString::fromUtf8(file.mid(file.lastIndexOf('\n') + 1));
    if (kind == 0) {
        ini.WriteIniString(section, key, text);
        FUZZ_CHECK(ini.ReadIniString(section, key, QString()) == expectedString(text));
    } else if (kind == 1) {
        const qint32 number = qint32(qHash(text));
        ini.WriteIniInteger(section, key, number);
        FUZZ_CHECK(ini.ReadIniInteger(section, key, 0) == number);
    } else {
        const QDate date = QDate(1752, 9, 14).addDays(qHash(text) % 3000000);
        ini.WriteIniDate(section, key, date);
        FUZZ_CHECK(ini.ReadIniDate(section, key, QDate()) == date);
    }

    // Every other key reads as before.
    const QStringList after = readAll(ini);
    for (size_t i = 0; i < keyCount; ++i) {
        const bool same = QString::fromLatin1(keys[i].section).compare(section, Qt::CaseInsensitive) == 0
            && QString::fromLatin1(keys[i].name).compare(key, Qt::CaseInsensitive) == 0;
        if (same)
            continue;
        for (int j = 0; j < 4; ++j) {
            if (before[i * 4 + j] != after[i * 4 + j]) {
                std::fprintf(stderr, "key %s/%s changed\n", keys[i].section, keys[i].name);
                FuzzDump("before", before[i * 4 + j]);
                FuzzDump("after", after[i * 4 + j]);
            }
            FUZZ_CHECK(before[i * 4 + j] == after[i * 4 + j]);
        }
    }
    return 0;
}
