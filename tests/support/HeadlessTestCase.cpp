#include "support/HeadlessTestCase.h"

#include <QFileInfo>
#include <QTest>

namespace HeadlessTests {

QStringList lines(const QByteArray &bytes)
{
    QStringList result = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    if (!result.isEmpty() && result.constLast().isEmpty())
        result.removeLast();
    return result;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(bytes);
}

} // namespace HeadlessTests

using namespace HeadlessTests;

void HeadlessTestCase::initTestCase()
{
    QVERIFY(QFileInfo(qEnvironmentVariable("PLOTWISE")).isExecutable());
    SampleService::Options options;
    options.dataDir = ProgramFolder::dataDir();
    m_service = std::make_unique<SampleService>(options);
    QVERIFY2(m_service->start(), qPrintable(m_service->errorString()));
}
