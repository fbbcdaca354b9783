// A Load's surroundings for the window tests: games 13, 822, 7 and 5 served
// by the sample service, started afresh for each test, a main window on it,
// a Load started as the user starts one, and a hook on the status bar.
#pragma once

#include "support/MainWindowFixture.h"
#include "support/SampleService.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class PlotSeries;

// The values of the series's points, in day order.
QList<double> valuesOf(const PlotSeries *series);

class LoadTestCase : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

protected:
    void startService(const QStringList &serviceArgs = {});
    MainWindowFixture &openWindow(const QString &baseUrl);
    void load(const QString &node, const QString &games);
    // Runs fn once, when the status bar first shows text.
    void onStatus(const QString &text, std::function<void()> fn);

    QTemporaryDir m_data;
    std::unique_ptr<SampleService> m_service;
    std::unique_ptr<MainWindowFixture> m_window;
    QList<QMetaObject::Connection> m_connections;
};
