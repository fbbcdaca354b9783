#include "service/Downloader.h"

#include "service/FileBytes.h"
#include "service/KeepAliveClient.h"
#include "service/PlotwiseError.h"
#include "service/QtNetworkTransport.h"
#include "service/RetryAfter.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTimer>
#include <algorithm>
#include <optional>

namespace {

// Redirects followed for one request, as many as Qt Network would follow.
constexpr int MaxRedirects = 50;
// How long a request to this machine is awaited before the window's events
// run: most answers come well within it, and running the events after every
// page would repaint the window more often than anyone can see.
constexpr int BlockingWaitMs = 20;

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

// The next URL of a redirect that is followed: to http or https only (never
// to a local file), and never from https down to http.
std::optional<QUrl> RedirectTarget(const QUrl &from, const TransportAnswer &answer)
{
    static constexpr int Redirects[] = { 301, 302, 303, 307, 308 };
    if (answer.ending != DownloadFailure::None || std::ranges::count(Redirects, answer.status) == 0
        || answer.location.isEmpty())
        return std::nullopt;
    const QUrl next = from.resolved(QUrl::fromEncoded(answer.location));
    if (next.scheme() == u"https" || (next.scheme() == u"http" && from.scheme() == u"http"))
        return next;
    return std::nullopt;
}

} // namespace

// One running DownloadFile. It lives on that call's stack, so it stays valid
// even when the Downloader is destroyed by a handler run from its event loop.
struct Downloader::Call {
    QDeadlineTimer deadline;
    QEventLoop *loop = nullptr; // the loop the call waits in
    HttpTransport *transport = nullptr; // running the request in flight, if any
    bool aborted = false;
    bool pastDeadline = false;
    bool ownerGone = false; // the Downloader was destroyed
};

struct Downloader::Outcome {
    Failure failure = Failure::None;
    QString reason;
    bool retry = false; // worth another attempt
    std::optional<qint64> retryAfterMs;
};

Downloader::Downloader(QString userAgent)
    : Downloader(std::move(userAgent), Limits {})
{
}

Downloader::Downloader(QString userAgent, Limits limits)
    : m_userAgent(std::move(userAgent))
    , m_limits(limits)
    , m_qtNetwork(std::make_unique<QtNetworkTransport>())
{
}

Downloader::~Downloader()
{
    // Running calls return false once their loop gets control back, without
    // touching this object; their requests go with the transports.
    for (Call *call : m_calls) {
        call->ownerGone = true;
        call->aborted = true;
        call->transport = nullptr;
        if (call->loop)
            call->loop->quit();
    }
}

void Downloader::abort()
{
    for (Call *call : m_calls) {
        call->aborted = true;
        if (call->transport)
            call->transport->cancel();
        if (call->loop)
            call->loop->quit();
    }
}

bool Downloader::DownloadFile(
    const QString &url, const QString &fileName, BodyFilter prepare, const QByteArray &ifNoneMatch)
{
    m_lastError.clear();
    m_lastFailure = Failure::None;
    m_lastEntityTag.clear();

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
        TransportAnswer answer;
        outcome = attempt(url, ifNoneMatch, answer, call);
        if (call.ownerGone)
            return false;
        if (outcome.failure == Failure::None) {
            // One write of the whole page: a page is small, and the file is
            // then made once rather than written and rewritten.
            if (!file.write(prepare ? prepare(answer.body) : answer.body) || !file.commit())
                throw PlotwiseError(FileError("Cannot write", fileName, file.errorString()));
            m_lastEntityTag = answer.entityTag;
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

HttpTransport &Downloader::transportFor(const QUrl &url)
{
    // A proxy never stands between this machine and its loopback, and
    // https stays with Qt Network.
    if (!m_limits.keepAliveLoopback || url.scheme() != u"http" || !url.userInfo().isEmpty()
        || !IsLoopbackHost(url.host()))
        return *m_qtNetwork;
    const int port = url.port(80);
    if (!m_keepAlive || !m_keepAlive->serves(url.host(), port))
        m_keepAlive = std::make_unique<KeepAliveClient>(url.host(), port);
    return *m_keepAlive;
}

Downloader::Outcome Downloader::attempt(
    const QString &url, const QByteArray &ifNoneMatch, TransportAnswer &answer, Call &call)
{
    QUrl target(url);
    for (int redirects = 0;; ++redirects) {
        answer = exchange(transportFor(target), target, ifNoneMatch, call);
        if (call.ownerGone)
            return {};
        if (call.aborted)
            return { Failure::Aborted, QStringLiteral("aborted") };
        if (call.pastDeadline)
            return { Failure::TimedOut, QStringLiteral("timed out") };
        // A redirect not followed is its status: past the bound, or to
        // another kind of URL, such as a local file.
        if (const std::optional<QUrl> next = RedirectTarget(target, answer);
            next && redirects < MaxRedirects) {
            target = *next;
            continue;
        }
        return judge(answer, !ifNoneMatch.isEmpty());
    }
}

TransportAnswer Downloader::exchange(
    HttpTransport &transport, const QUrl &url, const QByteArray &ifNoneMatch, Call &call)
{
    QEventLoop loop;
    bool finished = false;
    transport.start({ url, m_userAgent.toUtf8(), m_limits.idleTimeoutMs, m_limits.maxBodyBytes,
                        ifNoneMatch },
        [&] {
            finished = true;
            loop.quit();
        });
    call.transport = &transport;
    const qint64 blocking = std::min<qint64>(BlockingWaitMs, call.deadline.remainingTime());
    if (!transport.waitFor(int(std::max<qint64>(0, blocking))) && !finished) {
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
            call.pastDeadline = true;
            loop.quit();
        });
        deadline.start(int(std::max<qint64>(0, call.deadline.remainingTime())));
        call.loop = &loop;
        loop.exec();
        call.loop = nullptr;
    }
    call.transport = nullptr;
    if (call.ownerGone) // the transport went with its owner
        return {};
    if (!finished && !transport.waitFor(0)) {
        // Past the deadline, stopped, or the loop was ended from outside.
        if (!call.pastDeadline)
            call.aborted = true;
        transport.cancel();
    }
    return transport.take();
}

// The answer rules, the same whichever way the answer came.
Downloader::Outcome Downloader::judge(const TransportAnswer &answer, bool conditional)
{
    if (conditional && answer.status == 304 && answer.ending == Failure::None)
        return { Failure::NotModified, QStringLiteral("not modified") };
    if (answer.tooLarge)
        return { Failure::TooLarge, QStringLiteral("answer too large") };
    if (answer.status != 200 && answer.status != 0) {
        // 429 and 503 are worth another try, after the wait that
        // Retry-After asks for.
        Outcome outcome { Failure::HttpStatus, QStringLiteral("HTTP %1").arg(answer.status) };
        outcome.retry = answer.status == 429 || answer.status == 503;
        outcome.retryAfterMs = RetryAfterMs(answer.retryAfter, QDateTime::currentDateTimeUtc());
        return outcome;
    }
    if (answer.ending != Failure::None) // a stall is worth another try
        return { answer.ending, answer.reason, answer.ending == Failure::TimedOut };
    if (answer.status == 0)
        return { Failure::Other, QStringLiteral("not an HTTP answer") };
    if (answer.declaredLength && *answer.declaredLength != answer.body.size())
        return { Failure::Broken, QStringLiteral("transfer broken off") };
    if (answer.body.isEmpty())
        return { Failure::Empty, QStringLiteral("empty answer") };
    return {};
}
