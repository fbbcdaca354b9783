#include "app/NodeList.h"

#include "service/PlotwiseError.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>

// UTF-8 when the bytes are valid UTF-8; otherwise each byte is its Latin-1
// character, so that a single-byte file loses nothing.
static QString decodeText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

QStringList NodeListFromText(const QByteArray &text)
{
    const qsizetype nul = text.indexOf('\0');
    const QString all = decodeText(nul < 0 ? text : text.left(nul));

    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const QChar c = all.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines << all.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < all.size() && all.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < all.size())
        lines << all.mid(start);

    std::stable_sort(lines.begin(), lines.end(), [](const QString &a, const QString &b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return lines;
}

QStringList ReadNodeList(const QString &fileName)
{
    QFile file(fileName);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        throw PlotwiseError(QStringLiteral("Cannot open file \"%1\". %2")
                                .arg(QFileInfo(fileName).absoluteFilePath(), file.errorString()));
    }
    return NodeListFromText(bytes);
}
