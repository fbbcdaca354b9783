// The base of the windows that ask the service while they show (the game
// search, the ranking lists): their frame, what they use of the main window,
// their status line and Close button, and the one download that may run.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <functional>

class Dialogs;
class Downloader;
class QLabel;
class QPushButton;

// What such a window uses of the main window.
struct ServiceWindowContext {
    Dialogs *dialogs = nullptr;
    QString cacheRoot; // the cache folder is below it
    std::function<QString()> serviceBaseUrl; // read at every request
    Downloader *downloader = nullptr;
};

// Gives the widget its control name, by which tests and the code find it.
template <typename Widget>
Widget *Named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

class ServiceWindow : public QDialog
{
    Q_OBJECT
public:
    // Says what the window is doing or why it failed; word-wrapped.
    QLabel *labStatus = nullptr;
    // Closes the window as Esc does.
    QPushButton *btnClose = nullptr;

    [[nodiscard]] bool isFetching() const { return m_fetching; }

    // Esc, Close and the close box end here: a running download is stopped.
    void reject() override;

protected:
    // A resizable window with a maximize box and no help button, in the
    // interface font. The window places labStatus and btnClose in its layout.
    ServiceWindow(ServiceWindowContext context, const char *name, const QString &title,
                  QWidget *parent);

    // The cache folder of the service asked now, made when missing.
    [[nodiscard]] QString cacheFolder() const;
    // While a download runs, the controls of m_fetchControls are refused.
    void setFetching(bool fetching);

    ServiceWindowContext m_context;
    QList<QWidget *> m_fetchControls;

private:
    bool m_fetching = false;
};
