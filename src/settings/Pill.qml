import QtQuick
import QtQuick.Controls.Fusion

// A button drawn in exactly its theme colours: Fusion lightens its own, which
// would take the text below its contrast.
Button {
    id: pill
    property color fill: Theme.button
    property color ink: Theme.text
    contentItem: Text {
        text: pill.text
        font: pill.font
        color: pill.ink
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    background: Rectangle {
        implicitWidth: 80
        implicitHeight: 26
        radius: Theme.buttonRadius
        color: pill.down ? Qt.darker(pill.fill, 1.2) : pill.fill
        border.color: Theme.cardBorder
    }
}
