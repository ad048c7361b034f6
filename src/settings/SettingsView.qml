import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Layouts

// The settings window's content: the switch for all triggers, one card per
// binding, and the corner size.
Rectangle {
    id: root
    required property var appModel
    required property var bindings
    required property var recorder
    // Set from C++ when the window can show what lies behind it.
    property bool translucent: false

    readonly property color accent: "#af52de"

    // The label under NaN, Infinity or a value too large to truncate cleanly.
    function pixelText(v) {
        const n = Number(v)
        return Number.isFinite(n) && Math.abs(n) < 1e6 ? Math.trunc(n) + " px" : "— px"
    }

    implicitWidth: 580
    implicitHeight: 560
    color: translucent ? Qt.rgba(0.11, 0.11, 0.13, 0.82) : "#1c1c21"

    palette.window: "#1c1c21"
    palette.windowText: "#f2f2f7"
    palette.base: "#2a2a31"
    palette.alternateBase: "#24242a"
    palette.text: "#f2f2f7"
    palette.button: "#3a3a42"
    palette.buttonText: "#f2f2f7"
    palette.highlight: accent
    palette.highlightedText: "#ffffff"
    palette.light: "#4a4a52"
    palette.midlight: "#3a3a42"
    palette.mid: "#2e2e35"
    palette.dark: "#141417"
    palette.shadow: "#000000"
    palette.toolTipBase: "#2a2a31"
    palette.toolTipText: "#f2f2f7"

    ColumnLayout {
        anchors.fill: parent
        spacing: 0
        Layout.minimumWidth: 580
        Layout.minimumHeight: 560

        Control {
            objectName: "header"
            Layout.fillWidth: true
            leftPadding: 18
            rightPadding: 18
            topPadding: 16
            bottomPadding: 16
            background: Rectangle { color: Qt.rgba(1, 1, 1, 0.05) }
            contentItem: RowLayout {
                spacing: 12
                Glyph {
                    name: "square-on-square-dashed"
                    fallback: "⧉"
                    size: 24
                    color: root.accent
                    accent: true
                }
                ColumnLayout {
                    spacing: 2
                    Text {
                        text: qsTr("Tarnwick")
                        color: root.palette.windowText
                        font.pixelSize: 19
                        font.bold: true
                    }
                    Text {
                        text: qsTr("Hot corners & hotkeys → terminal commands")
                        color: root.palette.windowText
                        opacity: 0.6
                        font.pixelSize: 11
                    }
                }
                Item { Layout.fillWidth: true }
                Switch {
                    objectName: "activeSwitch"
                    text: qsTr("Active")
                    checked: root.appModel.globalEnabled
                    // toggled comes from the user only: showing the value saves nothing.
                    onToggled: {
                        root.appModel.globalEnabled = checked
                        root.appModel.persist()
                    }
                }
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            ListView {
                id: list
                objectName: "bindingList"
                anchors.fill: parent
                clip: true
                model: root.bindings
                spacing: 12
                topMargin: 16
                bottomMargin: 16
                leftMargin: 16
                rightMargin: 16
                // Fusion's own bar all but vanishes on the dark palette.
                ScrollBar.vertical: ScrollBar {
                    policy: ScrollBar.AlwaysOn
                    visible: list.contentHeight + list.topMargin + list.bottomMargin > list.height
                    background: null
                    contentItem: Rectangle {
                        implicitWidth: 6
                        radius: 3
                        color: Qt.rgba(1, 1, 1, parent.pressed ? 0.45 : 0.28)
                    }
                }
                delegate: BindingCard {
                    width: list.width - list.leftMargin - list.rightMargin
                    bindings: root.bindings
                    recorder: root.recorder
                }
            }

            Text {
                objectName: "emptyText"
                visible: list.count === 0
                anchors.top: parent.top
                anchors.topMargin: 50
                anchors.horizontalCenter: parent.horizontalCenter
                text: qsTr("No commands yet — click “Add Command”.")
                color: root.palette.windowText
                opacity: 0.6
            }
        }

        Control {
            objectName: "footer"
            Layout.fillWidth: true
            leftPadding: 18
            rightPadding: 18
            topPadding: 12
            bottomPadding: 12
            background: Rectangle { color: Qt.rgba(1, 1, 1, 0.05) }
            contentItem: RowLayout {
                Button {
                    id: addButton
                    objectName: "addButton"
                    text: qsTr("Add Command")
                    highlighted: true
                    palette.button: Qt.darker(root.accent, 1.45)
                    contentItem: Row {
                        spacing: 6
                        Glyph {
                            anchors.verticalCenter: parent.verticalCenter
                            name: "plus-circle"
                            fallback: "+"
                            size: 14
                            color: root.palette.highlightedText
                        }
                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            text: addButton.text
                            font: addButton.font
                            color: root.palette.highlightedText
                        }
                    }
                    onClicked: root.bindings.add()
                }
                Item { Layout.fillWidth: true }
                RowLayout {
                    spacing: 8
                    Glyph {
                        name: "scope"
                        fallback: "◎"
                        size: 14
                        color: root.palette.windowText
                        opacity: 0.6
                    }
                    Text {
                        text: qsTr("Corner size")
                        color: root.palette.windowText
                        opacity: 0.6
                        font.pixelSize: 11
                    }
                    Slider {
                        id: slider
                        objectName: "cornerSlider"
                        from: 2
                        to: 24
                        stepSize: 0
                        Layout.preferredWidth: 130
                        value: root.appModel.cornerSensitivity
                        // moved comes from the user only, once per value produced.
                        onMoved: {
                            root.appModel.cornerSensitivity = value
                            root.appModel.persist()
                        }
                    }
                    Text {
                        objectName: "cornerValue"
                        Layout.preferredWidth: 44
                        horizontalAlignment: Text.AlignRight
                        text: root.pixelText(root.appModel.cornerSensitivity)
                        color: root.palette.windowText
                        opacity: 0.6
                        font.family: "monospace"
                        font.pixelSize: 11
                    }
                }
            }
        }
    }
}
