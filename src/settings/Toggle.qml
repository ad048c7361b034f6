import QtQuick
import QtQuick.Controls.Fusion

// The rounded toggle users know from other desktop settings.
Switch {
    id: toggle
    indicator: Rectangle {
        implicitWidth: 38
        implicitHeight: 22
        x: toggle.leftPadding
        y: toggle.topPadding + (toggle.availableHeight - height) / 2
        radius: height / 2
        color: toggle.checked ? Theme.accentText : Theme.button
        border.width: toggle.checked ? 0 : 1
        border.color: Theme.placeholder
        Rectangle {
            width: 16
            height: 16
            radius: 8
            y: 3
            x: toggle.checked ? parent.width - width - 3 : 3
            color: Theme.text
            Behavior on x { NumberAnimation { duration: 100 } }
        }
    }
}
