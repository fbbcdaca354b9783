// A titled group of radio items with one selected index, which may also be
// none (-1): the state a group shows before anything was chosen.
#pragma once

#include <QGroupBox>
#include <QList>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

class RadioGroup : public QGroupBox
{
    Q_OBJECT
public:
    RadioGroup(const QString &title, const QStringList &items, QWidget *parent = nullptr);

    [[nodiscard]] int count() const { return int(m_buttons.size()); }
    [[nodiscard]] QRadioButton *item(int index) const { return m_buttons.at(index); }

    // -1 when no item is selected.
    [[nodiscard]] int itemIndex() const;
    // Below 0 selects none; above the last item selects the last.
    void setItemIndex(int index);

private:
    QButtonGroup *m_group;
    QList<QRadioButton *> m_buttons;
};
