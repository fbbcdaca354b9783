// Runs plotwise-sample-service for a test: on an ephemeral port of 127.0.0.1,
// over a freshly generated sample data folder or a given one, with chosen
// service options; stopped when the object goes away. Every request it got
// can be read back, so tests can count what the program fetched.
#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class SampleService
{
public:
    struct Options {
        QString dataDir; // serve this folder; empty: generate one with dataArgs
        QStringList dataArgs = { QStringLiteral("--pages"), QStringLiteral("3") };
        QStringList serviceArgs; // e.g. {"--latency-ms", "20", "--fail", "*page=2=503,times=1"}
    };
    struct Request {
        QString target; // path and query as sent, e.g. "/xmlapi/geeklist/500"
        QString userAgent;
    };

    SampleService();
    explicit SampleService(Options options);
    ~SampleService();
    SampleService(const SampleService &) = delete;
    SampleService &operator=(const SampleService &) = delete;

    // Generates the data when needed, starts the service and reads its port.
    // Use as QVERIFY2(service.start(), qPrintable(service.errorString())).
    bool start();
    void stop();
    [[nodiscard]] QString errorString() const { return m_error; }

    [[nodiscard]] quint16 port() const { return m_port; }
    [[nodiscard]] QString baseUrl() const; // "http://127.0.0.1:PORT"
    [[nodiscard]] QString dataDir() const { return m_dataDir; }

    // Requests since start() or the last clearRequests(), in arrival order.
    [[nodiscard]] QList<Request> requests() const;
    // How many of those have a target containing part (all when part is empty).
    [[nodiscard]] int requestCount(const QString &part = {}) const;
    void clearRequests();

    // Runs plotwise-sample-data with args into dir.
    static bool generateData(const QString &dir, const QStringList &args, QString *error);

private:
    [[nodiscard]] QList<Request> allRequests() const;

    Options m_options;
    QTemporaryDir m_temp;
    QProcess m_process;
    QString m_dataDir;
    QString m_error;
    quint16 m_port = 0;
    qsizetype m_seen = 0; // requests before the last clearRequests()
};
