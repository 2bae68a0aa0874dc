// SPDX-License-Identifier: MIT
#include "port_combo.h"

#include <QLineEdit>

namespace platform {

PortCombo::PortCombo(const PortResolver& resolver, QWidget* parent) : QComboBox(parent), resolver_(resolver)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert); // Enter must not add the typed text to the list
    setCompleter(nullptr);                // nor complete it to an entry's text
    setDuplicatesEnabled(true);
    setMaxVisibleItems(15);
}

void PortCombo::addItem(const std::string& text)
{
    // An empty combo box selects the first entry added; the list must not.
    const int index = currentIndex();
    const QString shown = currentText();
    QComboBox::addItem(QString::fromStdString(text));
    if (currentIndex() != index) {
        setCurrentIndex(index);
        setEditText(shown);
    }
}

std::string PortCombo::text() const { return currentText().toStdString(); }

void PortCombo::showPopup()
{
    // Read when the list drops down: adapters come and go while the window is up.
    const auto present = resolver_.present();
    for (int i = 0; i < count(); ++i)
        if (const auto tip = portEntryTooltip(itemText(i).toStdString(), present))
            setItemData(i, QString::fromStdString(*tip), Qt::ToolTipRole);
    QComboBox::showPopup();
}

} // namespace platform
