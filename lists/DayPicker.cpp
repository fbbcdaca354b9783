#include "lists/DayPicker.h"

#include <algorithm>

DayPicker::DayPicker(QWidget *parent)
    : QDateEdit(parent)
{
    // Without it a day kept back by validate() would go back to the last one.
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

QDate DayPicker::typedDay(const QString &text) const
{
    return QDate::fromString(text, displayFormat());
}

QValidator::State DayPicker::validate(QString &text, int &pos) const
{
    const QValidator::State state = QDateEdit::validate(text, pos);
    // A whole day out of range is typing under way (2015 typed into the
    // year of an archive starting 2016-10-12), not a wrong key.
    if (state == QValidator::Invalid && typedDay(text).isValid())
        return QValidator::Intermediate;
    return state;
}

void DayPicker::fixup(QString &text) const
{
    const QDate day = typedDay(text);
    if (day.isValid())
        text = std::clamp(day, minimumDate(), maximumDate()).toString(displayFormat());
    else
        QDateEdit::fixup(text);
}
