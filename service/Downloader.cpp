#include "service/Downloader.h"

#include "service/FileBytes.h"
#include "service/KeepAliveClient.h"
#include "service/PlotwiseError.h"
#include "service/RetryAfter.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <algorithm>
#include <charconv>
#include <optional>

namespace {

// Redirects followed for one request, as many as Qt Network follows.
constexpr int MaxRedirects = 50;
// How long a request to this machine is awaited before the window's events
// run: most answers come well within it, and running the events after every
// page would repaint the window more often than anyone can see.
constexpr int BlockingWaitMs = 20;
// Then the event loop checks the request this often.
constexpr int PollIntervalMs = 5;

bool IsLoopbackHost(const QString &host)
{
    return host.compare(u"localhost", Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback();
}

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

QString FileError(const char *what, const QString &fileName, const QString &reason)
{
    return QStringLiteral("%1 %2: %3")
        .arg(QLatin1String(what), QDir::toNativeSeparators(fileName), reason);
}

// The wait before retry number `retry` (1 for the first): the first wait,
// doubling each time up to the bound; a longer Retry-After is honoured, one
// beyond the bound means no retry.
std::optional<qint64> RetryWaitMs(
    int retry, std::optional<qint64> retryAfterMs, const Downloader::Limits &limits)
{
    qint64 wait = limits.firstRetryWaitMs;
    for (int i = 1; i < retry && wait < limits.maxRetryWaitMs; ++i)
        wait *= 2;
    wait = std::min<qint64>(wait, limits.maxRetryWaitMs);
    if (retryAfterMs) {
        if (*retryAfterMs > limits.maxRetryWaitMs)
            return std::nullopt;
        wait = std::max(wait, *retryAfterMs);
    }
    return wait;
}

// The body size the answer declared, when it can be checked. Qt drops
// Content-Length when it unpacks a compressed body, and after a redirect it
// may keep the redirect's headers too, joined with ", ": the last value is
// the final answer's.
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

// One running DownloadFile. It lives on that call's stack, so it stays valid
// even when the Downloader is destroyed by a handler run from its event loop.
struct Downloader::Call {
    QDeadlineTimer deadline;
    QEventLoop *loop = nullptr; // the loop the call waits in
    QNetworkReply *reply = nullptr; // the request in flight, if any
    KeepAliveClient *client = nullptr; // or the client running it
    bool aborted = false;
    bool ownerGone = false; // the Downloader was destroyed
};

struct Downloader::Outcome {
    Failure failure = Failure::None;
    QString reason;
    bool retry = false; // worth another attempt
    std::optional<qint64> retryAfterMs;
};

// An answer of another status than 200: 429 and 503 are worth another try,
// after the wait that Retry-After asks for.
Downloader::Outcome Downloader::statusFailure(int code, const QByteArray &retryAfter)
{
    Outcome outcome { Failure::HttpStatus, QStringLiteral("HTTP %1").arg(code) };
    outcome.retry = code == 429 || code == 503;
    outcome.retryAfterMs = RetryAfterMs(retryAfter, QDateTime::currentDateTimeUtc());
    return outcome;
}

Downloader::Downloader(QString userAgent)
    : Downloader(std::move(userAgent), Limits {})
{
}

Downloader::Downloader(QString userAgent, Limits limits)
    : m_userAgent(std::move(userAgent))
    , m_limits(limits)
    , m_manager(std::make_unique<QNetworkAccessManager>())
{
    m_manager->setProxyFactory(new SystemProxies);
    m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

Downloader::~Downloader()
{
    // Running calls return false once their loop gets control back, without
    // touching this object; their replies go with the manager.
    for (Call *call : m_calls) {
        call->ownerGone = true;
        call->aborted = true;
        call->reply = nullptr;
        if (call->loop)
            call->loop->quit();
    }
}

void Downloader::abort()
{
    for (Call *call : m_calls) {
        call->aborted = true;
        if (call->reply)
            call->reply->abort();
        if (call->client)
            call->client->cancel();
        if (call->loop)
            call->loop->quit();
    }
}

bool Downloader::DownloadFile(const QString &url, const QString &fileName, BodyFilter prepare)
{
    m_lastError.clear();
    m_lastFailure = Failure::None;

    // An old copy never survives a new download, whatever its outcome.
    if (const QFileInfo old(fileName); old.exists() || old.isSymLink()) {
        QFile file(fileName);
        if (!file.remove())
            throw PlotwiseError(FileError("Cannot delete", fileName, file.errorString()));
    }

    // Written beside the target under a unique temporary name, renamed into
    // place only for a complete answer; dropped otherwise. It is made before
    // the request, so that a cache folder that cannot take it costs no request.
    UnsyncedSaveFile file(fileName);
    if (!file.open())
        throw PlotwiseError(FileError("Cannot create", fileName, file.errorString()));

    Call call;
    call.deadline = QDeadlineTimer(m_limits.totalTimeoutMs);
    m_calls.push_back(&call);
    const auto unregister = qScopeGuard([&] {
        if (!call.ownerGone)
            std::erase(m_calls, &call);
    });

    Outcome outcome;
    for (int number = 1;; ++number) {
        QByteArray body;
        outcome = attempt(url, body, call);
        if (call.ownerGone)
            return false;
        if (outcome.failure == Failure::None) {
            // One write of the whole page: a page is small, and the file is
            // then made once rather than written and rewritten.
            if (!file.write(prepare ? prepare(body) : body) || !file.commit())
                throw PlotwiseError(FileError("Cannot write", fileName, file.errorString()));
            return true;
        }
        if (!outcome.retry || number >= m_limits.maxAttempts)
            break;
        const std::optional<qint64> waitMs = RetryWaitMs(number, outcome.retryAfterMs, m_limits);
        if (!waitMs || *waitMs >= call.deadline.remainingTime())
            break;
        wait(int(*waitMs), call);
        if (call.ownerGone)
            return false;
        if (call.aborted)
            break;
    }
    if (call.aborted)
        outcome = { Failure::Aborted, QStringLiteral("aborted") };
    m_lastFailure = outcome.failure;
    m_lastError = outcome.reason;
    return false;
}

void Downloader::wait(int ms, Call &call)
{
    bool waited = false;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, [&] {
        waited = true;
        loop.quit();
    });
    call.loop = &loop;
    loop.exec();
    call.loop = nullptr;
    // A loop ended from outside (the application quitting) ends the call.
    if (!waited)
        call.aborted = true;
}

Downloader::Outcome Downloader::attempt(const QString &url, QByteArray &body, Call &call)
{
    QUrl target(url);
    for (int redirects = 0;; ++redirects) {
        // A proxy never stands between this machine and its loopback, and
        // https stays with Qt Network.
        if (!m_limits.keepAliveLoopback || target.scheme() != u"http"
            || !target.userInfo().isEmpty() || !IsLoopbackHost(target.host()))
            return attemptQtNetwork(target, body, call);
        QUrl next;
        const Outcome outcome = attemptKeepAlive(target, body, call, next);
        // A redirect not followed is its status, as with Qt Network: past the
        // bound, or to another kind of URL, such as a local file.
        if (next.isEmpty() || redirects == MaxRedirects
            || (next.scheme() != u"http" && next.scheme() != u"https"))
            return outcome;
        target = next;
    }
}

Downloader::Outcome Downloader::attemptKeepAlive(
    const QUrl &url, QByteArray &body, Call &call, QUrl &redirect)
{
    const int port = url.port(80);
    if (!m_keepAlive || !m_keepAlive->serves(url.host(), port))
        m_keepAlive = std::make_unique<KeepAliveClient>(url.host(), port, m_userAgent);
    KeepAliveClient &client = *m_keepAlive;
    QByteArray target
        = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (target.isEmpty())
        target = "/";
    client.start({ target.toStdString(), m_limits.idleTimeoutMs, m_limits.maxBodyBytes });
    call.client = &client;

    bool pastDeadline = false;
    const qint64 blocking = std::min<qint64>(BlockingWaitMs, call.deadline.remainingTime());
    if (!client.waitFor(int(std::max<qint64>(0, blocking)))) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (call.aborted || client.waitFor(0))
                loop.quit();
            else if (call.deadline.hasExpired()) {
                pastDeadline = true;
                loop.quit();
            }
        });
        poll.start(PollIntervalMs);
        call.loop = &loop;
        loop.exec();
        call.loop = nullptr;
    }
    call.client = nullptr;
    if (call.ownerGone) // the client went with its owner
        return {};
    if (!client.waitFor(0)) {
        // Past the deadline, stopped, or the loop was ended from outside.
        if (!pastDeadline)
            call.aborted = true;
        client.cancelAndWait();
    }
    if (call.aborted)
        return { Failure::Aborted, QStringLiteral("aborted") };
    if (pastDeadline)
        return { Failure::TimedOut, QStringLiteral("timed out") };

    KeepAliveClient::Answer answer = client.answer();
    using Ending = KeepAliveClient::Ending;
    switch (answer.ending) {
    case Ending::Cancelled:
        return { Failure::Aborted, QStringLiteral("aborted") };
    case Ending::Refused:
        return { Failure::Unreachable, QStringLiteral("connection refused") };
    case Ending::Stalled:
        return { Failure::TimedOut, QStringLiteral("timed out"), true };
    case Ending::TooLarge:
        return { Failure::TooLarge, QStringLiteral("answer too large") };
    case Ending::NoAnswer:
        return { Failure::Other, QStringLiteral("connection closed without an answer") };
    case Ending::Answered:
    case Ending::Broken:
        break;
    }
    const int code = answer.status;
    static constexpr int Redirects[] = { 301, 302, 303, 307, 308 };
    if (answer.ending == Ending::Answered && std::ranges::count(Redirects, code) > 0
        && !answer.location.isEmpty())
        redirect = url.resolved(QUrl::fromEncoded(answer.location));
    if (code != 200)
        return statusFailure(code, answer.retryAfter);
    if (answer.ending == Ending::Broken)
        return { Failure::Broken, QStringLiteral("transfer broken off") };
    if (answer.body.isEmpty())
        return { Failure::Empty, QStringLiteral("empty answer") };
    body = std::move(answer.body);
    return {};
}

Downloader::Outcome Downloader::attemptQtNetwork(const QUrl &url, QByteArray &body, Call &call)
{
    const Limits limits = m_limits;
    std::optional<Outcome> early; // set by whatever ends the transfer before its end
    qint64 received = 0;
    QTimer total;
    total.setSingleShot(true);
    QEventLoop loop;

    QNetworkRequest request { url };
    request.setHeader(QNetworkRequest::UserAgentHeader, m_userAgent);
    request.setAttribute(
        QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    // Qt breaks off an answer that stalls this long; a stall is worth
    // another try, a transfer past the deadline is not.
    request.setTransferTimeout(limits.idleTimeoutMs);
    QNetworkReply *const reply = m_manager->get(request);
    // The manager deletes its replies when the Downloader goes first.
    const auto release = qScopeGuard([guard = QPointer(reply)] { delete guard.data(); });
    call.reply = reply;

    const auto status
        = [reply] { return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); };
    const auto end = [&](Outcome outcome) {
        if (!early)
            early = std::move(outcome);
        reply->abort();
    };
    const auto take = [&] {
        const QByteArray data = reply->readAll();
        if (status() != 200 || early)
            return; // error pages are not kept
        received += data.size();
        if (received > limits.maxBodyBytes)
            end({ Failure::TooLarge, QStringLiteral("answer too large") });
        else
            body += data;
    };
    QObject::connect(reply, &QNetworkReply::readyRead, reply, take);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (status() == 200 && length.isValid() && length.toLongLong() > limits.maxBodyBytes)
            end({ Failure::TooLarge, QStringLiteral("answer too large") });
    });
    QObject::connect(&total, &QTimer::timeout, reply, [&] {
        end({ Failure::TimedOut, QStringLiteral("timed out") });
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);

    total.start(int(std::max<qint64>(0, call.deadline.remainingTime())));
    call.loop = &loop;
    if (!reply->isFinished())
        loop.exec();
    call.loop = nullptr;
    call.reply = nullptr;
    if (call.ownerGone)
        return {};
    if (!reply->isFinished()) // the loop was ended from outside
        call.aborted = true;
    if (call.aborted) {
        reply->abort();
        return { Failure::Aborted, QStringLiteral("aborted") };
    }
    if (early)
        return *early;
    take();
    if (early)
        return *early;

    const int code = status();
    if (code != 200 && code != 0)
        return statusFailure(code, reply->rawHeader("Retry-After"));
    switch (reply->error()) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::ConnectionRefusedError:
        return { Failure::Unreachable, QStringLiteral("connection refused") };
    case QNetworkReply::HostNotFoundError:
        return { Failure::Unreachable, QStringLiteral("host not found") };
    case QNetworkReply::OperationCanceledError: // the transfer timeout: a stall
    case QNetworkReply::TimeoutError:
        return { Failure::TimedOut, QStringLiteral("timed out"), true };
    default:
        if (code == 200)
            return { Failure::Broken, QStringLiteral("transfer broken off") };
        return { Failure::Other, reply->errorString() };
    }
    if (code == 0)
        return { Failure::Other, QStringLiteral("not an HTTP answer") };
    if (const std::optional<qint64> length = DeclaredLength(*reply); length && *length != received)
        return { Failure::Broken, QStringLiteral("transfer broken off") };
    if (received == 0)
        return { Failure::Empty, QStringLiteral("empty answer") };
    return {};
}
