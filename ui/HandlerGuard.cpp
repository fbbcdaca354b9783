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
    QString text;
    try {
        fn();
        return true;
    } catch (const PlotwiseError &e) {
        text = ErrorBoxText(e.message());
        if (!e.details().isEmpty())
            text += QStringLiteral("\n\n") + e.details();
    } catch (const std::exception &e) {
        text = ErrorBoxText(QString::fromUtf8(e.what()));
    }
    if (dialogs)
        dialogs->error(parent, text);
    return false;
}
