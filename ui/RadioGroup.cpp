#include "ui/RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

RadioGroup::RadioGroup(const QString &title, const QStringList &items, QWidget *parent)
    : QGroupBox(title, parent), m_group(new QButtonGroup(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 2, 2, 2);
    layout->setSpacing(0);
    for (const QString &text : items) {
        auto *button = new QRadioButton(text, this);
        m_group->addButton(button, int(m_buttons.size()));
        layout->addWidget(button);
        m_buttons << button;
    }
}

int RadioGroup::itemIndex() const
{
    return m_group->checkedId();
}

void RadioGroup::setItemIndex(int index)
{
    if (m_buttons.isEmpty())
        return;
    if (index < 0) {
        // An exclusive group refuses to uncheck its last checked button.
        m_group->setExclusive(false);
        for (QRadioButton *button : std::as_const(m_buttons))
            button->setChecked(false);
        m_group->setExclusive(true);
        return;
    }
    m_buttons.at(std::min(index, count() - 1))->setChecked(true);
}
