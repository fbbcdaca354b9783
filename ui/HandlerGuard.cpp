#include "ui/HandlerGuard.h"

#include "service/PlotwiseError.h"

#include <exception>

QString ErrorBoxText(const QString &message)
{
    QString text = message;
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        text += QLatin1Char('.');
    return text;
}

bool RunGuarded(Dialogs *dialogs, QWidget *parent, const std::function<void()> &fn)
{
    QString message;
    try {
        fn();
        return true;
    } catch (const PlotwiseError &e) {
        message = e.message();
    } catch (const std::exception &e) {
        message = QString::fromUtf8(e.what());
    }
    if (dialogs)
        dialogs->Error(parent, ErrorBoxText(message));
    return false;
}
