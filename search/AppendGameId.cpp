#include "search/AppendGameId.h"

QString AppendGameId(const QString &text, const QString &id)
{
    if (id.isEmpty())
        return text;
    if (text.isEmpty())
        return id;
    return text + QStringLiteral(", ") + id;
}
