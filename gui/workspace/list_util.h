#pragma once
// Drop-down lists filled from the presenters' entry texts.

#include <QComboBox>
#include <QSignalBlocker>
#include <string>
#include <vector>

// Replaces the entries and selects one (-1: none) without telling anyone.
inline void SetListEntries(QComboBox* list, const std::vector<std::string>& entries, int selected) {
    const QSignalBlocker quiet(list);
    list->clear();
    for (const std::string& entry : entries)
        list->addItem(QString::fromStdString(entry));
    list->setCurrentIndex(selected);
}
