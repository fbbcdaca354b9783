#include "ui/ServiceWindow.h"

#include "service/CachePaths.h"
#include "service/Downloader.h"
#include "ui/InterfaceFont.h"

#include <QLabel>
#include <QPushButton>

ServiceWindow::ServiceWindow(ServiceWindowContext context, const char *name, const QString &title,
                             QWidget *parent)
    : QDialog(parent)
    , m_context(std::move(context))
{
    setObjectName(QLatin1String(name));
    setWindowTitle(title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setSizeGripEnabled(true);
    setFont(InterfaceFont(font()));

    labStatus = Named(new QLabel, "labStatus");
    labStatus->setWordWrap(true);
    btnClose = Named(new QPushButton(QStringLiteral("Close")), "btnClose");
    connect(btnClose, &QPushButton::clicked, this, [this] { reject(); });
}

QString ServiceWindow::cacheFolder() const
{
    const QString folder = CacheFolder(m_context.cacheRoot, m_context.serviceBaseUrl());
    EnsureCacheFolder(folder);
    return folder;
}

void ServiceWindow::setFetching(bool fetching)
{
    m_fetching = fetching;
    for (QWidget *control : std::as_const(m_fetchControls))
        control->setEnabled(!fetching);
}

void ServiceWindow::reject()
{
    if (m_fetching)
        m_context.downloader->abort();
    QDialog::reject();
}
