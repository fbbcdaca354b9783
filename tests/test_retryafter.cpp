// The Retry-After header read as a wait: seconds or an HTTP date in any of
// its three forms, whatever the user's locale, and what is not understood.
#include "service/RetryAfter.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>
#include <QtTest>

class RetryAfterTest : public QObject
{
    Q_OBJECT
private slots:
    void retryAfterHeader_data();
    void retryAfterHeader();
};

void RetryAfterTest::retryAfterHeader_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<qint64>("expectedMs"); // -1: not understood

    QTest::newRow("seconds") << QByteArray("3") << qint64(3000);
    QTest::newRow("seconds with blanks") << QByteArray(" 7 ") << qint64(7000);
    QTest::newRow("zero") << QByteArray("0") << qint64(0);
    QTest::newRow("negative") << QByteArray("-5") << qint64(-1);
    QTest::newRow("fraction") << QByteArray("1.5") << qint64(-1);
    QTest::newRow("word") << QByteArray("soon") << qint64(-1);
    QTest::newRow("empty") << QByteArray() << qint64(-1);
    QTest::newRow("absurd count") << QByteArray("99999999999999999999")
                                  << qint64(1'000'000'000'000);
    QTest::newRow("IMF date") << QByteArray("Wed, 21 Oct 2015 07:28:10 GMT") << qint64(10000);
    QTest::newRow("RFC 850 date") << QByteArray("Wednesday, 21-Oct-15 07:28:10 GMT")
                                  << qint64(10000);
    QTest::newRow("asctime date") << QByteArray("Wed Oct 21 07:28:10 2015") << qint64(10000);
    QTest::newRow("date already past") << QByteArray("Wed, 21 Oct 2015 07:27:00 GMT") << qint64(0);
    QTest::newRow("date in another zone")
        << QByteArray("Wed, 21 Oct 2015 07:28:10 UTC") << qint64(-1);
}

void RetryAfterTest::retryAfterHeader()
{
    QFETCH(QByteArray, value);
    QFETCH(qint64, expectedMs);

    // Day and month names are English whatever the user's locale.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
    const QDateTime now(QDate(2015, 10, 21), QTime(7, 28), QTimeZone::utc());
    QCOMPARE(RetryAfterMs(value, now).value_or(-1), expectedMs);
}

QTEST_GUILESS_MAIN(RetryAfterTest)
#include "test_retryafter.moc"
