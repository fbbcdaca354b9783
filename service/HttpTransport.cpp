#include "service/HttpTransport.h"

#include <QHostAddress>

bool IsLoopbackHost(const QString &host)
{
    return host.compare(u"localhost", Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback();
}

bool AnswerReader::headers(int status, std::optional<qint64> declaredLength)
{
    m_answer.status = status;
    m_answer.declaredLength = declaredLength;
    if (status != 200 || !declaredLength)
        return true;
    if (*declaredLength > m_max) {
        m_answer.tooLarge = true;
        return false;
    }
    if (*declaredLength > 0)
        m_answer.body.reserve(*declaredLength); // one block, not regrown as it comes
    return true;
}

bool AnswerReader::body(const char *data, qsizetype size)
{
    if (m_answer.status != 200) // error pages are not kept
        return true;
    if (m_answer.body.size() + size > m_max) {
        m_answer.tooLarge = true;
        return false;
    }
    m_answer.body.append(data, size);
    return true;
}
