import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Layouts

// One binding. Writes go to the row found by id at the moment of writing:
// rows move when bindings are added or removed.
Control {
    id: card
    required property var model
    required property string bindingId
    required property string name
    required property string kind
    required property string corner
    required property string hotkeyDisplay
    required property string command
    property var bindings
    property var recorder

    readonly property color accent: "#af52de"
    readonly property bool recording: recorder !== null && recorder !== undefined
                                      && recorder.recordingId === bindingId
    // Named so the tests can read them; attached ToolTips are out of their reach.
    readonly property string recordHint: qsTr("Records a shortcut. ⌘ is Super, ⌥ Alt, ⌃ Ctrl, ⇧ Shift.")
    readonly property string runHint: qsTr("Test run now")
    readonly property var cornerValues: ["topLeft", "topRight", "bottomLeft", "bottomRight"]

    function row() { return bindings.rowOf(bindingId) }
    function write(role, value) { return bindings.setField(row(), role, value) }

    padding: 14
    background: Rectangle {
        radius: 14
        color: Qt.rgba(1, 1, 1, 0.06)
        border.color: Qt.rgba(1, 1, 1, 0.12)
        border.width: 1
    }

    // A card that goes away while recording must not leave the recorder taking keys.
    Component.onDestruction: {
        if (card.recorder)
            card.recorder.stop(card.bindingId)
    }

    contentItem: ColumnLayout {
        spacing: 10

        RowLayout {
            spacing: 8
            Glyph {
                name: card.kind === "corner" ? "corner" : "keyboard"
                fallback: card.kind === "corner" ? "◳" : "⌨"
                size: 16
                color: card.accent
                accent: true
            }
            TextField {
                objectName: "nameField"
                Layout.fillWidth: true
                text: card.name
                placeholderText: qsTr("Name")
                font.pixelSize: 14
                font.weight: Font.DemiBold
                background: Item {}
                onTextEdited: card.write("name", text)
                onAccepted: card.bindings.persist()
            }
            Switch {
                objectName: "enabledSwitch"
                checked: card.model.enabled
                onToggled: {
                    card.write("enabled", checked)
                    card.bindings.persist()
                }
            }
            ToolButton {
                objectName: "deleteButton"
                Layout.preferredWidth: 30
                contentItem: Glyph {
                    name: "trash"
                    fallback: "🗑"
                    size: 15
                    color: card.palette.windowText
                }
                onClicked: card.bindings.remove(card.row())
            }
        }

        RowLayout {
            spacing: 10
            RowLayout {
                Layout.preferredWidth: 170
                Layout.maximumWidth: 170
                spacing: 0
                Repeater {
                    model: [{ label: qsTr("Hot Corner"), value: "corner" },
                            { label: qsTr("Hotkey"), value: "hotkey" }]
                    delegate: Button {
                        required property var modelData
                        objectName: "kind_" + modelData.value
                        Layout.fillWidth: true
                        Layout.preferredWidth: 85
                        text: modelData.label
                        font.pixelSize: 12
                        checkable: true
                        checked: card.kind === modelData.value
                        highlighted: checked
                        palette.button: checked ? Qt.darker(card.accent, 1.4) : card.palette.button
                        onClicked: {
                            // A click on the checked one unchecks it: put the binding back.
                            checked = Qt.binding(() => card.kind === modelData.value)
                            if (card.kind !== modelData.value) {
                                card.write("kind", modelData.value)
                                card.bindings.persist()
                            }
                        }
                    }
                }
            }
            ComboBox {
                objectName: "cornerBox"
                visible: card.kind === "corner"
                Layout.preferredWidth: 150
                textRole: "text"
                model: [{ text: qsTr("Top-Left") }, { text: qsTr("Top-Right") },
                        { text: qsTr("Bottom-Left") }, { text: qsTr("Bottom-Right") }]
                // No stored corner shows the default, Top-Right, without writing it.
                currentIndex: {
                    const i = card.cornerValues.indexOf(card.corner)
                    return i < 0 ? 1 : i
                }
                onActivated: index => {
                    const value = card.cornerValues[index]
                    if (value !== card.corner) {
                        card.write("corner", value)
                        card.bindings.persist()
                    }
                }
            }
            Button {
                objectName: "recordButton"
                visible: card.kind === "hotkey"
                Layout.preferredWidth: 160
                text: card.recording ? qsTr("Press keys…")
                                     : (card.hotkeyDisplay !== "" ? card.hotkeyDisplay
                                                                  : qsTr("Record shortcut"))
                palette.button: card.recording ? Qt.darker("#ff453a", 1.25) : Qt.darker(card.accent, 1.6)
                palette.buttonText: "#ffffff"
                // The tooltip needs hover, which some platforms leave off by default.
                hoverEnabled: true
                ToolTip.visible: hovered
                ToolTip.delay: 500
                ToolTip.text: card.recordHint
                onClicked: card.recorder.toggle(card.bindingId)
            }
            Item { Layout.fillWidth: true }
        }

        Control {
            Layout.fillWidth: true
            padding: 10
            background: Rectangle {
                radius: 8
                color: Qt.rgba(0, 0, 0, 0.2)
            }
            contentItem: RowLayout {
                spacing: 6
                Glyph {
                    name: "terminal"
                    fallback: ">"
                    size: 11
                    color: card.palette.windowText
                    opacity: 0.6
                }
                TextField {
                    objectName: "commandField"
                    Layout.fillWidth: true
                    text: card.command
                    placeholderText: qsTr("shell command (runs in /bin/zsh)")
                    font.family: "monospace"
                    font.pixelSize: 12
                    background: Item {}
                    onTextEdited: card.write("command", text)
                    onAccepted: card.bindings.persist()
                }
                ToolButton {
                    objectName: "runButton"
                    contentItem: Glyph {
                        name: "play"
                        fallback: "▶"
                        size: 12
                        color: card.accent
                        accent: true
                    }
                    // The tooltip needs hover, which some platforms leave off by default.
                hoverEnabled: true
                ToolTip.visible: hovered
                    ToolTip.delay: 500
                    ToolTip.text: card.runHint
                    onClicked: card.bindings.runNow(card.row())
                }
            }
        }
    }
}
