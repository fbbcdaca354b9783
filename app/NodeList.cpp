#include "app/NodeList.h"

#include "service/FileBytes.h"
#include "service/PlotwiseError.h"
#include "service/TextLines.h"

#include <QFile>
#include <algorithm>

QStringList NodeListFromText(const QByteArray &text)
{
    QStringList lines = SplitLines(DecodeText(text));
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
                                .arg(FullPath(fileName), file.errorString()));
    }
    return NodeListFromText(bytes);
}
