pragma ComponentBehavior: Bound
import QtQuick
import QtQuick.Controls.Fusion
import QtQuick.Layouts
import QtQuick.Templates as T
import Tarnwick.Settings

// The settings window's content: the switch for all triggers, one card per
// binding, and the corner size.
Rectangle {
    id: root
    required property AppModel appModel
    required property BindingListModel bindings
    required property HotkeyRecorder recorder
    // Set from C++ while the window can show what lies behind it.
    property bool translucent: false

    // What the window does for the view: Ctrl+W, Ctrl+Q, a drag on the background.
    signal closeRequested()
    signal quitRequested()
    signal moveRequested()

    // The label under NaN or Infinity.
    function pixelText(v) {
        const n = Number(v)
        return Number.isFinite(n) ? Math.trunc(n) + " px" : "— px"
    }

    // Focus into a card by row, at its first or last control; before the
    // first card is the header, after the last the footer.
    function focusRow(row: int, last: bool) {
        // WORKAROUND: Qt 6.4's type information lacks the focus reasons, so qmllint cannot see them.
        if (row < 0) {
            activeSwitch.forceActiveFocus(Qt.TabFocusReason) // qmllint disable
        } else if (row >= list.count) {
            addButton.forceActiveFocus(Qt.TabFocusReason) // qmllint disable
        } else {
            list.positionViewAtIndex(row, ListView.Contain)
            const card = list.itemAtIndex(row) as BindingCard
            card?.focusEdge(last)
        }
    }

    // A new card is shown, its name ready to be typed over.
    function addBinding() {
        root.bindings.add()
        list.positionViewAtEnd()
        const card = list.itemAtIndex(list.count - 1) as BindingCard
        card?.editName()
    }

    // Return and Enter press the focused button or switch, as Space does.
    function pressFocused(event: KeyEvent) {
        const button = root.Window.activeFocusItem as T.AbstractButton
        event.accepted = button !== null
        if (button?.checkable) {
            button.toggle()
            button.toggled()
        }
        button?.clicked()
    }

    // The ring goes round a control focused from the keyboard, and round a text field.
    function ringTarget(item: Item): Item {
        const control = item as T.Control
        if (!(control?.visualFocus || item as TextInput))
            return null
        for (let up = item; up; up = up.parent) {
            if (up === root)
                return item
        }
        return null
    }

    // Buttons, fields and the like take their own presses; the rest is
    // background. Every item at the point counts, not the topmost alone: a
    // list puts an empty highlight over its current card.
    function controlAt(item: Item, x: real, y: real): bool {
        if (item as T.AbstractButton || item as TextInput || item as T.ComboBox
                || item as T.Slider || item as T.ScrollBar)
            return true
        for (let i = 0; i < item.children.length; ++i) {
            const child = item.children[i]
            const at = item.mapToItem(child, x, y)
            if (child.visible && child.contains(at) && root.controlAt(child, at.x, at.y))
                return true
        }
        return false
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
    palette.highlight: Theme.accentButton
    palette.highlightedText: Theme.brightText
    palette.light: Theme.light
    palette.midlight: Theme.button
    palette.mid: Theme.mid
    palette.dark: Theme.dark
    palette.shadow: "#000000"
    palette.toolTipBase: Theme.base
    palette.toolTipText: Theme.text

    Keys.onReturnPressed: event => root.pressFocused(event)
    Keys.onEnterPressed: event => root.pressFocused(event)
    Shortcut {
        sequence: "Ctrl+W"
        onActivated: root.closeRequested()
    }
    Shortcut {
        sequence: "Ctrl+Q"
        onActivated: root.quitRequested()
    }

    ColumnLayout {
        id: content
        anchors.fill: parent
        spacing: 0

        // Not a Control, as the footer.
        Rectangle {
            objectName: "header"
            Layout.fillWidth: true
            implicitHeight: headerRow.implicitHeight + 32
            color: Theme.bar
            RowLayout {
                id: headerRow
                anchors.fill: parent
                anchors.leftMargin: 18
                anchors.rightMargin: 18
                anchors.topMargin: 16
                anchors.bottomMargin: 16
                spacing: 12
                Glyph {
                    name: "square-on-square-dashed"
                    fallback: "⧉"
                    size: 24
                    color: Theme.accentText
                    tint: "accent"
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
                        color: Theme.dimText
                        font.pixelSize: Theme.smallSize
                    }
                }
                Item { Layout.fillWidth: true }
                Toggle {
                    id: activeSwitch
                    objectName: "activeSwitch"
                    text: qsTr("Active")
                    checked: root.appModel.globalEnabled
                    // toggled comes from the user only: showing the value saves nothing.
                    onToggled: {
                        root.appModel.globalEnabled = checked
                        root.appModel.persist()
                    }
                    Keys.onTabPressed: root.focusRow(0, false)
                }
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true

            ListView {
                id: list
                objectName: "bindingList"
                anchors.fill: parent
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
                    id: delegateCard
                    width: list.width - list.leftMargin - list.rightMargin
                    bindings: root.bindings
                    recorder: root.recorder
                    onTabbedOut: forward => root.focusRow(delegateCard.index + (forward ? 1 : -1), !forward)
                }
            }

            Text {
                objectName: "emptyText"
                visible: list.count === 0
                anchors.top: parent.top
                anchors.topMargin: 50
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.margins: 18
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                text: qsTr("No commands yet — click “Add Command”.")
                color: Theme.dimText
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
                Pill {
                    id: addButton
                    objectName: "addButton"
                    text: qsTr("Add Command")
                    fill: Theme.accentButton
                    leftPadding: 10
                    rightPadding: 10
                    contentItem: Row {
                        spacing: 6
                        Glyph {
                            anchors.verticalCenter: parent.verticalCenter
                            name: "plus-circle"
                            fallback: "+"
                            size: 14
                            color: Theme.brightText
                        }
                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            text: addButton.text
                            font: addButton.font
                            color: Theme.brightText
                        }
                    }
                    onClicked: root.addBinding()
                    Keys.onBacktabPressed: root.focusRow(list.count - 1, true)
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
                        color: Theme.dimText
                        font.pixelSize: Theme.smallSize
                    }
                    Slider {
                        id: slider
                        objectName: "cornerSlider"
                        // Where the desktop decides the size, its note stands instead.
                        visible: root.appModel.cornerSizeNote === ""
                        enabled: root.appModel.cornersAvailable
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
                        Layout.minimumWidth: 44
                        horizontalAlignment: Text.AlignRight
                        text: root.appModel.cornerSizeNote !== "" ? root.appModel.cornerSizeNote
                              : root.pixelText(root.appModel.cornerSensitivity)
                        color: Theme.dimText
                        // A note is words, in the controls' font; a size is figures.
                        font.family: root.appModel.cornerSizeNote !== "" ? slider.font.family
                                                                         : "monospace"
                        font.pixelSize: Theme.smallSize
                    }
                }
            }
        }
    }

    // One focus ring for every control: Fusion's own are faint on this palette.
    // Inside its control it moves, and is clipped, with it.
    Rectangle {
        objectName: "focusRing"
        readonly property Item target: root.ringTarget(root.Window.activeFocusItem)
        parent: target ?? root
        visible: target !== null
        z: 10
        x: -3
        y: -3
        width: (parent?.width ?? 0) + 6
        height: (parent?.height ?? 0) + 6
        radius: Theme.buttonRadius + 2
        color: "transparent"
        border.color: Theme.focusRing
        border.width: 2
    }

    // A press on the background, dragged, moves the window. It lies over
    // everything and lets presses on controls through.
    MouseArea {
        objectName: "backgroundDrag"
        anchors.fill: parent
        z: 3
        property real pressX
        property real pressY
        property bool moving: false
        onPressed: mouse => {
            mouse.accepted = !root.controlAt(content, mouse.x, mouse.y - content.y)
            pressX = mouse.x
            pressY = mouse.y
            moving = false
        }
        onPositionChanged: mouse => {
            if (!moving && Math.hypot(mouse.x - pressX, mouse.y - pressY)
                    >= Qt.styleHints.startDragDistance) {
                moving = true
                root.moveRequested()
            }
        }
    }
}
