import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The settings window's content. For now its header: the full view of the
// bindings comes with the binding cards.
Rectangle {
    id: root
    required property var appModel
    required property var bindings
    required property var recorder
    property bool translucent: false

    color: Qt.rgba(0.11, 0.11, 0.13, 0.96)
    palette.window: "#1c1c21"
    palette.windowText: "#f2f2f7"
    palette.base: "#2a2a31"
    palette.text: "#f2f2f7"
    palette.button: "#3a3a42"
    palette.buttonText: "#f2f2f7"
    palette.highlight: "#af52de"
    palette.highlightedText: "#ffffff"

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 20
        spacing: 12

        RowLayout {
            Layout.fillWidth: true
            spacing: 10

            Image {
                source: "qrc:/tarnwick/icons/tarnwick.svg"
                sourceSize.width: 22
                sourceSize.height: 22
                Layout.preferredWidth: 22
                Layout.preferredHeight: 22
            }
            ColumnLayout {
                spacing: 2
                Label {
                    text: qsTr("Tarnwick")
                    font.pixelSize: 18
                    font.bold: true
                }
                Label {
                    text: qsTr("Hot corners & hotkeys → terminal commands")
                    opacity: 0.7
                    font.pixelSize: 12
                }
            }
            Item { Layout.fillWidth: true }
            Switch {
                text: qsTr("Active")
                checked: root.appModel.globalEnabled
                onToggled: {
                    root.appModel.globalEnabled = checked
                    root.appModel.persist()
                }
            }
        }
        Item { Layout.fillHeight: true }
    }
}
