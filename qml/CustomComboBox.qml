import QtQuick 2.15
import QtQuick.Controls 2.15

// A drop-down list of choices with the program's font size. `label` names it
// for screen readers and UI automation; without one the current choice does.
// A screen acts on `activated`, which a click or a key on an entry sends; an
// accessibility press opens the list (its entries are then pressed like
// buttons), and increase and decrease pick the next or the previous entry.
ComboBox {
    id: combo
    property string label: ""
    font.pointSize: coreObj.defaultFontPointSize > 0 ? coreObj.defaultFontPointSize : 11
    implicitWidth: 260
    Accessible.name: label !== "" ? label : displayText
    Accessible.onPressAction: {
        if (popup.visible)
            popup.close()
        else
            popup.open()
    }
    Accessible.onIncreaseAction: pick(currentIndex + 1)
    Accessible.onDecreaseAction: pick(currentIndex - 1)

    // The screen stores the entry; the list shows what it stored.
    function pick(index) {
        if (enabled && index >= 0 && index < count && index !== currentIndex)
            activated(index)
    }
}
