pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Layouts
import Tarnwick.Settings

// The settings window's content: the switch for all triggers, one card per
// binding, and the corner size.
Rectangle {
    id: root
    required property AppModel appModel
    required property BindingListModel bindings
    required property HotkeyRecorder recorder
    // Set from C++ when the window can show what lies behind it.
    property bool translucent: false

    // The label under NaN, Infinity or a value too large to truncate cleanly.
    function pixelText(v) {
        const n = Number(v)
        return Number.isFinite(n) && Math.abs(n) < 1e6 ? Math.trunc(n) + " px" : "— px"
    }

    implicitWidth: 580
    implicitHeight: 560
    color: translucent ? Theme.translucentWindow : Theme.window

    palette.window: Theme.window
    palette.windowText: Theme.text
    palette.base: Theme.base
    palette.alternateBase: Theme.alternateBase
    palette.text: Theme.text
    palette.button: Theme.button
    palette.buttonText: Theme.text
    palette.highlight: Theme.accent
    palette.highlightedText: Theme.brightText
    palette.light: Theme.light
    palette.midlight: Theme.button
    palette.mid: Theme.mid
    palette.dark: Theme.dark
    palette.shadow: "#000000"
    palette.toolTipBase: Theme.base
    palette.toolTipText: Theme.text

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
            background: Rectangle { color: Theme.bar }
            contentItem: RowLayout {
                spacing: 12
                Glyph {
                    name: "square-on-square-dashed"
                    fallback: "⧉"
                    size: 24
                    color: Theme.accent
                    accent: true
                }
                ColumnLayout {
                    spacing: 2
                    Text {
                        text: qsTr("Tarnwick")
                        color: root.palette.windowText
                        font.pixelSize: Theme.titleSize
                        font.bold: true
                    }
                    Text {
                        text: qsTr("Hot corners & hotkeys → terminal commands")
                        color: root.palette.windowText
                        opacity: Theme.dimmed
                        font.pixelSize: Theme.smallSize
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
                    id: bar
                    policy: ScrollBar.AlwaysOn
                    visible: list.contentHeight + list.topMargin + list.bottomMargin > list.height
                    background: null
                    contentItem: Rectangle {
                        implicitWidth: 6
                        radius: 3
                        color: Qt.rgba(1, 1, 1, bar.pressed ? 0.45 : 0.28)
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
                opacity: Theme.dimmed
            }
        }

        // Not a Control: ids inside a control's deferred content item trip qmllint.
        Rectangle {
            objectName: "footer"
            Layout.fillWidth: true
            implicitHeight: footerRow.implicitHeight + 24
            color: Theme.bar
            RowLayout {
                id: footerRow
                anchors.fill: parent
                anchors.leftMargin: 18
                anchors.rightMargin: 18
                anchors.topMargin: 12
                anchors.bottomMargin: 12
                Button {
                    id: addButton
                    objectName: "addButton"
                    text: qsTr("Add Command")
                    highlighted: true
                    palette.button: Qt.darker(Theme.accent, 1.45)
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
                        opacity: Theme.dimmed
                    }
                    Text {
                        text: qsTr("Corner size")
                        color: root.palette.windowText
                        opacity: Theme.dimmed
                        font.pixelSize: Theme.smallSize
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
                        opacity: Theme.dimmed
                        font.family: "monospace"
                        font.pixelSize: Theme.smallSize
                    }
                }
            }
        }
    }
}
