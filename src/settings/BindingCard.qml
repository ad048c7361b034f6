pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Layouts
import Tarnwick.Settings

// One binding. Fields are written through the delegate's model object,
// which follows the row when bindings are added or removed. Not a Control:
// ids inside a control's deferred content item trip qmllint.
Rectangle {
    id: card
    required property var model
    required property int index
    required property string bindingId
    required property string name
    required property string kind
    required property string corner
    required property string hotkeyDisplay
    required property string hotkeyName
    required property string hotkeyProblem
    // Where the desktop keeps the keys: the key it gave ("Desktop: …"), and
    // where it gives none, the command to bind in its own settings instead.
    required property string desktopKey
    required property string runCommand
    // Why the corner will not fire here, and how corners behave on this desktop.
    required property string cornerProblem
    required property string cornerNote
    required property string command
    // How the last test run went, for a few seconds: "", "ok" or "failed".
    required property string runOutcome
    required property string runDetail
    required property BindingListModel bindings
    required property HotkeyRecorder recorder

    // Tab out of the last control, or Shift+Tab out of the first: the list
    // decides where to, as it may have made the cards in any order.
    signal tabbedOut(bool forward)

    readonly property bool recording: recorder.recordingRow === index
    readonly property bool off: !card.model.enabled
    // Named so the tests can read them; attached ToolTips are out of their reach.
    readonly property string recordHint: qsTr("Records a shortcut. ⌘ is Super, ⌥ Alt, ⌃ Ctrl, ⇧ Shift.")
    readonly property string recordTip: hotkeyName !== "" ? hotkeyName : recordHint
    readonly property string runHint: qsTr("Test run now")
    readonly property string runTip: runOutcome !== "failed" ? runHint
                                     : runDetail !== "" ? runDetail
                                     : qsTr("The command failed without output")
    readonly property var cornerValues: ["topLeft", "topRight", "bottomLeft", "bottomRight"]

    function editName() {
        nameField.forceActiveFocus()
        nameField.selectAll()
    }
    // As Tab would: the focus ring shows.
    function focusEdge(last: bool) {
        // WORKAROUND: Qt 6.4's type information lacks the focus reasons, so qmllint cannot see them.
        (last ? runButton : nameField).forceActiveFocus(Qt.TabFocusReason) // qmllint disable
    }

    implicitHeight: column.implicitHeight + 28
    radius: Theme.cardRadius
    color: card.off ? Theme.offCard : Theme.card
    border.color: Theme.cardBorder
    border.width: 1

    // WORKAROUND: a tool tip still waiting out its delay shows the text it
    // had then; one under the pointer is shown anew.
    onRunTipChanged: {
        if (runButton.hovered)
            runButton.ToolTip.show(runTip)
    }

    // A card that goes away while recording must not leave the recorder taking keys.
    Component.onDestruction: card.recorder.stop(card.index)

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: 14
        spacing: 10

        RowLayout {
            spacing: 8
            Glyph {
                name: card.kind === "corner" ? "corner" : "keyboard"
                fallback: card.kind === "corner" ? "◳" : "⌨"
                size: 16
                color: card.off ? card.palette.windowText : Theme.accentText
                tint: card.off ? "" : "accent"
                opacity: card.off ? Theme.dimmed : 1
            }
            TextField {
                id: nameField
                objectName: "nameField"
                Layout.fillWidth: true
                text: card.name
                placeholderText: qsTr("Name")
                placeholderTextColor: Theme.placeholder
                font.pixelSize: 14
                font.weight: Font.DemiBold
                color: card.off ? Theme.dimText : card.palette.text
                background: Item {}
                // Long text opens at its beginning, not scrolled to its end.
                Component.onCompleted: cursorPosition = 0
                onTextEdited: card.model.name = text
                onEditingFinished: card.bindings.persistEdits()
                Keys.onBacktabPressed: card.tabbedOut(false)
            }
            Toggle {
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
                    color: Theme.destructive
                    tint: "destructive"
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
                    delegate: Pill {
                        required property var modelData
                        objectName: "kind_" + modelData.value
                        Layout.fillWidth: true
                        Layout.preferredWidth: 85
                        text: modelData.label
                        font.pixelSize: 12
                        checkable: true
                        checked: card.kind === modelData.value
                        fill: checked ? Theme.accentButton : Theme.button
                        ink: checked ? Theme.brightText : Theme.text
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
            Pill {
                objectName: "recordButton"
                visible: card.kind === "hotkey"
                Layout.preferredWidth: 160
                text: card.recording ? qsTr("Press keys…")
                                     : (card.hotkeyDisplay !== "" ? card.hotkeyDisplay
                                                                  : qsTr("Record shortcut"))
                fill: card.recording ? Theme.recordingButton : Theme.accentButton
                ink: Theme.brightText
                // The tooltip needs hover, which some platforms leave off by default.
                hoverEnabled: true
                ToolTip.visible: hovered
                ToolTip.delay: 500
                ToolTip.text: card.recordTip
                onClicked: card.recorder.toggle(card.index)
            }
            Text {
                id: desktopKeyText
                objectName: "desktopKey"
                visible: card.kind === "hotkey" && card.desktopKey !== ""
                Layout.fillWidth: true
                text: card.desktopKey
                color: Theme.dimText
                font.pixelSize: Theme.smallSize + 1
                wrapMode: Text.Wrap
            }
            Item {
                visible: !desktopKeyText.visible
                Layout.fillWidth: true
            }
        }

        Text {
            objectName: "hotkeyProblem"
            visible: card.kind === "hotkey" && card.hotkeyProblem !== ""
            Layout.fillWidth: true
            text: card.hotkeyProblem
            color: Theme.warning
            font.pixelSize: Theme.smallSize + 1
            wrapMode: Text.Wrap
        }

        Text {
            visible: runCommandRow.visible
            Layout.fillWidth: true
            text: qsTr("Instead, bind this command to a key in the desktop's keyboard settings:")
            color: Theme.dimText
            font.pixelSize: Theme.smallSize + 1
            wrapMode: Text.Wrap
        }

        RowLayout {
            id: runCommandRow
            visible: card.kind === "hotkey" && card.runCommand !== ""
            spacing: 8
            Text {
                objectName: "runCommand"
                Layout.fillWidth: true
                text: card.runCommand
                color: card.palette.text
                font.family: "monospace"
                font.pixelSize: Theme.smallSize + 1
                elide: Text.ElideMiddle
            }
            Pill {
                objectName: "copyRunCommand"
                text: qsTr("Copy")
                font.pixelSize: 12
                onClicked: card.bindings.copyRunCommand(card.index)
            }
        }

        Text {
            objectName: "cornerProblem"
            visible: card.kind === "corner" && card.cornerProblem !== ""
            Layout.fillWidth: true
            text: card.cornerProblem
            color: Theme.warning
            font.pixelSize: Theme.smallSize + 1
            wrapMode: Text.Wrap
        }

        Text {
            objectName: "cornerNote"
            visible: card.kind === "corner" && card.cornerNote !== ""
            Layout.fillWidth: true
            text: card.cornerNote
            color: Theme.dimText
            font.pixelSize: Theme.smallSize
            wrapMode: Text.Wrap
        }

        Rectangle {
            Layout.fillWidth: true
            implicitHeight: well.implicitHeight + 20
            radius: Theme.wellRadius
            color: Theme.well
            RowLayout {
                id: well
                anchors.fill: parent
                anchors.margins: 10
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
                    placeholderTextColor: Theme.placeholder
                    font.family: "monospace"
                    font.pixelSize: 12
                    color: card.off ? Theme.dimText : card.palette.text
                    background: Item {}
                    Component.onCompleted: cursorPosition = 0
                    onTextEdited: card.model.command = text
                    onEditingFinished: card.bindings.persistEdits()
                }
                ToolButton {
                    id: runButton
                    objectName: "runButton"
                    contentItem: Glyph {
                        // The outcome of a test run stands in for the symbol a while.
                        name: card.runOutcome === "" ? "play" : ""
                        fallback: card.runOutcome === "ok" ? "✓" : card.runOutcome === "failed" ? "✗" : "▶"
                        size: card.runOutcome === "" ? 12 : 14
                        color: card.runOutcome === "ok" ? Theme.success
                             : card.runOutcome === "failed" ? Theme.destructive : Theme.accentText
                        tint: "accent"
                    }
                    // The tooltip needs hover, which some platforms leave off by default.
                    hoverEnabled: true
                    ToolTip.visible: hovered
                    ToolTip.delay: 500
                    ToolTip.text: card.runTip
                    onClicked: card.bindings.runNow(card.index)
                    Keys.onTabPressed: card.tabbedOut(true)
                }
            }
        }
    }
}
