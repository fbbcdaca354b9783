// GET over Qt Network, for every URL but plain http to this machine: system
// proxies (never for the loopback), https, and no redirect followed on its own.
#pragma once

#include "service/HttpTransport.h"

#include <QPointer>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

class QtNetworkTransport final : public HttpTransport
{
public:
    QtNetworkTransport();
    ~QtNetworkTransport() override;

    void start(const TransportRequest &request, std::function<void()> done) override;
    bool waitFor(int) override { return m_answer.has_value(); }
    void cancel() override;
    [[nodiscard]] TransportAnswer take() override;

private:
    void finish();

    std::unique_ptr<QNetworkAccessManager> m_manager;
    QPointer<QNetworkReply> m_reply; // the request in flight
    std::optional<TransportAnswer> m_answer; // once it has finished
    TransportAnswer m_reading; // the answer while it comes
    std::unique_ptr<AnswerReader> m_reader;
    std::function<void()> m_done;
};
