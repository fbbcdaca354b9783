// The items of a drop-down list as texts, in the list's order.
#pragma once

#include <QComboBox>
#include <QStringList>

[[nodiscard]] inline QStringList ComboItems(const QComboBox &box)
{
    QStringList items;
    for (int i = 0; i < box.count(); ++i)
        items << box.itemText(i);
    return items;
}
