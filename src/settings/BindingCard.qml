pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Layouts
import Tarnwick.Settings

// One binding. Fields are written through the delegate's model object,
// which follows the row when bindings are added or removed.
Control {
    id: card
    required property var model
    required property int index
    required property string bindingId
    required property string name
    required property string kind
    required property string corner
    required property string hotkeyDisplay
    required property string command
    required property BindingListModel bindings
    required property HotkeyRecorder recorder

    readonly property bool recording: recorder.recordingRow === index
    // Named so the tests can read them; attached ToolTips are out of their reach.
    readonly property string recordHint: qsTr("Records a shortcut. ⌘ is Super, ⌥ Alt, ⌃ Ctrl, ⇧ Shift.")
    readonly property string runHint: qsTr("Test run now")
    readonly property var cornerValues: ["topLeft", "topRight", "bottomLeft", "bottomRight"]

    padding: 14
    background: Rectangle {
        radius: Theme.cardRadius
        color: Theme.card
        border.color: Theme.cardBorder
        border.width: 1
    }

    // A card that goes away while recording must not leave the recorder taking keys.
    Component.onDestruction: card.recorder.stop(card.index)

    contentItem: ColumnLayout {
        spacing: 10

        RowLayout {
            spacing: 8
            Glyph {
                name: card.kind === "corner" ? "corner" : "keyboard"
                fallback: card.kind === "corner" ? "◳" : "⌨"
                size: 16
                color: Theme.accent
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
                onTextEdited: card.model.name = text
                onEditingFinished: card.bindings.persistEdits()
            }
            Switch {
                objectName: "enabledSwitch"
                checked: card.model.enabled
                onToggled: {
                    card.model.enabled = checked
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
                onClicked: card.bindings.remove(card.index)
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
                        palette.button: checked ? Qt.darker(Theme.accent, 1.4) : card.palette.button
                        onClicked: {
                            // A click on the checked one unchecks it: put the binding back.
                            checked = Qt.binding(() => card.kind === modelData.value)
                            if (card.kind !== modelData.value) {
                                card.model.kind = modelData.value
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
                        card.model.corner = value
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
                palette.button: card.recording ? Qt.darker(Theme.destructive, 1.25) : Qt.darker(Theme.accent, 1.6)
                palette.buttonText: Theme.brightText
                // The tooltip needs hover, which some platforms leave off by default.
                hoverEnabled: true
                ToolTip.visible: hovered
                ToolTip.delay: 500
                ToolTip.text: card.recordHint
                onClicked: card.recorder.toggle(card.index)
            }
            Item { Layout.fillWidth: true }
        }

        Control {
            Layout.fillWidth: true
            padding: 10
            background: Rectangle {
                radius: Theme.wellRadius
                color: Theme.well
            }
            contentItem: RowLayout {
                spacing: 6
                Glyph {
                    name: "terminal"
                    fallback: ">"
                    size: 11
                    color: card.palette.windowText
                    opacity: Theme.dimmed
                }
                TextField {
                    objectName: "commandField"
                    Layout.fillWidth: true
                    text: card.command
                    placeholderText: qsTr("shell command (runs in /bin/zsh)")
                    font.family: "monospace"
                    font.pixelSize: 12
                    background: Item {}
                    onTextEdited: card.model.command = text
                    onEditingFinished: card.bindings.persistEdits()
                }
                ToolButton {
                    objectName: "runButton"
                    contentItem: Glyph {
                        name: "play"
                        fallback: "▶"
                        size: 12
                        color: Theme.accent
                        accent: true
                    }
                    // The tooltip needs hover, which some platforms leave off by default.
                    hoverEnabled: true
                    ToolTip.visible: hovered
                    ToolTip.delay: 500
                    ToolTip.text: card.runHint
                    onClicked: card.bindings.runNow(card.index)
                }
            }
        }
    }
}
