// A date picker limited to a range of days that still takes a day typed
// outside it: the day is brought to the nearest end of the range when the
// typing ends, instead of the keystroke that left the range being refused.
#pragma once

#include <QDateEdit>

class DayPicker : public QDateEdit
{
    Q_OBJECT
public:
    explicit DayPicker(QWidget *parent = nullptr);

    QValidator::State validate(QString &text, int &pos) const override;
    void fixup(QString &text) const override;

private:
    // The whole day the text spells, whatever the range; invalid when none.
    [[nodiscard]] QDate typedDay(const QString &text) const;
};
