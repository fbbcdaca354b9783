#include "service/QtNetworkTransport.h"

#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <charconv>

namespace {

// The system's proxy settings for this manager only, leaving the
// application-wide proxy choice alone. A service on this machine's loopback
// is always reached directly: no proxy elsewhere can reach it.
class SystemProxies final : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        if (IsLoopbackHost(query.peerHostName()))
            return { QNetworkProxy::NoProxy };
        return systemProxyForQuery(query);
    }
};

int Status(const QNetworkReply &reply)
{
    return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

// The body size the answer declared, when it can be checked: Qt drops
// Content-Length when it unpacks a compressed body.
std::optional<qint64> DeclaredLength(const QNetworkReply &reply)
{
    if (!reply.rawHeader("Content-Encoding").isEmpty() || !reply.hasRawHeader("Content-Length"))
        return std::nullopt;
    const QByteArray values = reply.rawHeader("Content-Length");
    const QByteArray last = values.mid(values.lastIndexOf(',') + 1).trimmed();
    qint64 length = 0;
    const auto [end, ec] = std::from_chars(last.data(), last.data() + last.size(), length);
    if (ec != std::errc() || end != last.data() + last.size())
        return std::nullopt;
    return length;
}

} // namespace

QtNetworkTransport::QtNetworkTransport()
    : m_manager(std::make_unique<QNetworkAccessManager>())
{
    m_manager->setProxyFactory(new SystemProxies);
    // Redirects are the downloader's to follow, the same for both ways.
    m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

QtNetworkTransport::~QtNetworkTransport()
{
    if (m_reply) {
        m_reply->disconnect();
        delete m_reply.data();
    }
}

void QtNetworkTransport::start(const TransportRequest &request, std::function<void()> done)
{
    m_answer.reset();
    m_reading = {};
    m_reader = std::make_unique<AnswerReader>(m_reading, request.maxBodyBytes);
    m_done = std::move(done);

    QNetworkRequest get { request.url };
    get.setRawHeader("User-Agent", request.userAgent);
    get.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    if (!request.ifNoneMatch.isEmpty())
        get.setRawHeader("If-None-Match", request.ifNoneMatch);
    // Qt breaks off an answer that stalls this long.
    get.setTransferTimeout(request.idleTimeoutMs);
    QNetworkReply *const reply = m_manager->get(get);
    m_reply = reply;

    auto begun = std::make_shared<bool>(false);
    const auto headers = [this, reply, begun] {
        if (*begun)
            return true;
        *begun = true;
        return m_reader->headers(Status(*reply), DeclaredLength(*reply));
    };
    const auto read = [this, reply, headers] {
        const QByteArray data = reply->readAll();
        if (!m_reading.tooLarge && (!headers() || !m_reader->body(data.data(), data.size())))
            reply->abort();
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, headers] {
        if (!headers())
            reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, read);
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, read] {
        read();
        finish();
    });
}

void QtNetworkTransport::finish()
{
    if (!m_reply || m_answer)
        return;
    TransportAnswer answer = std::move(m_reading);
    answer.status = Status(*m_reply);
    switch (m_reply->error()) {
    case QNetworkReply::NoError:
        answer.ending = DownloadFailure::None;
        break;
    case QNetworkReply::ConnectionRefusedError:
        answer.ending = DownloadFailure::Unreachable;
        answer.reason = QStringLiteral("connection refused");
        break;
    case QNetworkReply::HostNotFoundError:
        answer.ending = DownloadFailure::Unreachable;
        answer.reason = QStringLiteral("host not found");
        break;
    case QNetworkReply::OperationCanceledError: // the transfer timeout: a stall
    case QNetworkReply::TimeoutError:
        answer.ending = DownloadFailure::TimedOut;
        answer.reason = QStringLiteral("timed out");
        break;
    default:
        if (answer.status == 200) {
            answer.ending = DownloadFailure::Broken;
            answer.reason = QStringLiteral("transfer broken off");
        } else {
            answer.ending = DownloadFailure::Other;
            answer.reason = m_reply->errorString();
        }
    }
    answer.location = m_reply->rawHeader("Location");
    answer.retryAfter = m_reply->rawHeader("Retry-After");
    answer.entityTag = m_reply->rawHeader("ETag");
    m_answer = std::move(answer);
    if (const auto done = std::exchange(m_done, {}))
        done();
}

void QtNetworkTransport::cancel()
{
    if (m_reply && !m_answer)
        m_reply->abort(); // finished comes at once
    finish();
}

TransportAnswer QtNetworkTransport::take()
{
    m_done = {};
    if (m_reply) {
        m_reply->disconnect();
        delete m_reply.data();
    }
    TransportAnswer answer = m_answer ? std::move(*m_answer) : TransportAnswer {};
    m_answer.reset();
    return answer;
}
