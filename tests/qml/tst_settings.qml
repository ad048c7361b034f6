import QtQuick
import QtTest

// The settings view over the real models; `probe` counts saves (AppModel::onChange).
TestCase {
    id: testCase
    name: "SettingsView"
    width: 580
    height: 560
    // A TestCase is hidden by default, and hidden items take no clicks.
    visible: true
    when: windowShown

    property Component viewComponent: Qt.createComponent("qrc:/Tarnwick/Settings/SettingsView.qml")

    function makeView(seeded) {
        probe.reset(seeded)
        compare(viewComponent.status, Component.Ready, viewComponent.errorString())
        const view = createTemporaryObject(viewComponent, testCase, {
            appModel: appModel, bindings: bindings, recorder: recorder,
            width: testCase.width, height: testCase.height })
        waitForItemPolished(findChild(view, "bindingList"))
        probe.watch(view)
        return view
    }
    function card(view, row) {
        const list = findChild(view, "bindingList")
        // A removed card stays at its index until the next turn of the event loop.
        tryVerify(() => list.itemAtIndex(row) !== null
                        && list.itemAtIndex(row).bindingId === probe.field(row, "bindingId"),
                  1000, "no card for row " + row)
        return list.itemAtIndex(row)
    }
    function part(item, objectName) {
        const found = findChild(item, objectName)
        verify(found, objectName)
        return found
    }
    // Clicks without a turn of the event loop between them can go astray.
    function click(item) {
        mouseClick(item)
        wait(20)
    }
    function cleanup() {
        // A test that leaves a recording behind would take the next test's keys.
        recorder.stop(recorder.recordingRow)
    }

    function test_textsAndBackground() {
        const view = makeView(true)
        compare(view.color, Qt.color("#1c1c21"))
        view.translucent = true
        fuzzyCompare(view.color.a, 0.82, 0.01)
        const theCard = card(view, 1)
        compare(theCard.recordHint, "Records a shortcut. ⌘ is Super, ⌥ Alt, ⌃ Ctrl, ⇧ Shift.")
        compare(theCard.runHint, "Test run now")
        compare(part(theCard, "nameField").placeholderText, "Name")
        compare(part(theCard, "commandField").placeholderText, "shell command (runs in /bin/zsh)")
        compare(part(view, "activeSwitch").text, "Active")
        compare(part(view, "addButton").text, "Add Command")
        const slider = part(view, "cornerSlider")
        compare([slider.from, slider.to, slider.stepSize], [2, 24, 0])
    }

    function test_addAndDeleteCards() {
        const view = makeView(false)
        const empty = part(view, "emptyText")
        compare(empty.text, "No commands yet \u2014 click \u201CAdd Command\u201D.")
        click(part(view, "addButton"))
        click(part(view, "addButton"))
        tryCompare(findChild(view, "bindingList"), "count", 2)
        verify(!empty.visible)
        compare(probe.saves, 2)
        compare(part(card(view, 1), "nameField").text, "New command")
        compare(part(card(view, 1), "commandField").text, "notify-send hello")
        part(card(view, 0), "nameField").text = "first"
        click(part(card(view, 0), "deleteButton"))
        tryCompare(findChild(view, "bindingList"), "count", 1)
        compare(probe.saves, 3)
        compare(probe.field(0, "name"), "New command")
    }

    function test_textFieldsSaveWhenDone_data() {
        return [{ tag: "name", row: 0, field: "nameField", role: "name", key: Qt.Key_Return },
                { tag: "command", row: 1, field: "commandField", role: "command", key: Qt.Key_Enter },
                { tag: "focus leaves", row: 1, field: "nameField", role: "name", key: Qt.Key_Tab }]
    }
    function test_textFieldsSaveWhenDone(data) {
        const field = part(card(makeView(true), data.row), data.field)
        field.forceActiveFocus()
        field.selectAll()
        keyClick("l")
        keyClick("s")
        compare(probe.field(data.row, data.role), "ls")
        compare(probe.saves, 0)
        keyClick(data.key)
        compare(probe.saves, 1)
    }

    function test_switchesSaveOncePerFlip_data() {
        return [{ tag: "active", cardRow: -1, name: "activeSwitch" },
                { tag: "enabled", cardRow: 0, name: "enabledSwitch" }]
    }
    function test_switchesSaveOncePerFlip(data) {
        const view = makeView(true)
        const toggle = part(data.cardRow < 0 ? view : card(view, data.cardRow), data.name)
        const value = () => data.cardRow < 0 ? appModel.globalEnabled : probe.field(0, "enabled")
        click(toggle)
        compare([value(), probe.saves], [false, 1])
        click(toggle)
        compare([value(), probe.saves], [true, 2])
    }

    function test_sliderSavesPerValueAndItsLabel() {
        const view = makeView(true)
        const slider = part(view, "cornerSlider")
        const label = part(view, "cornerValue")
        compare(label.text, "6 px")
        slider.forceActiveFocus()
        keyClick(Qt.Key_Right)
        keyClick(Qt.Key_Right)
        compare(probe.saves, 2)
        fuzzyCompare(appModel.cornerSensitivity, 6.2, 1e-9)
        // Still bound after the user moved it: a change elsewhere shows, unsaved.
        appModel.cornerSensitivity = 10
        compare([slider.value, label.text, probe.saves], [10, "10 px", 2])
        const cases = [[7.9, "7 px"], [NaN, "\u2014 px"], [Infinity, "\u2014 px"],
                       [-Infinity, "\u2014 px"], [1e300, "\u2014 px"], [undefined, "\u2014 px"]]
        for (const [value, text] of cases)
            compare(view.pixelText(value), text, String(value))
    }

    function test_cornerAndKindKeepBothValues() {
        const view = makeView(true)
        const box = part(card(view, 0), "cornerBox")
        click(box)
        tryVerify(() => box.popup.opened)
        click(box.popup.contentItem.itemAtIndex(3))
        tryVerify(() => !box.popup.visible)
        compare([probe.field(0, "corner"), box.currentText, probe.saves], ["bottomRight", "Bottom-Right", 1])
        // The seed's hotkey binding: no corner stored, Top-Right shown and not written.
        const hotkeyCard = card(view, 1)
        click(part(hotkeyCard, "kind_corner"))
        compare([probe.field(1, "kind"), probe.field(1, "corner"), probe.saves], ["corner", "", 2])
        compare(part(hotkeyCard, "cornerBox").currentText, "Top-Right")
        verify(!part(hotkeyCard, "recordButton").visible)
        click(part(hotkeyCard, "kind_hotkey"))
        compare(part(hotkeyCard, "recordButton").text, "\u2318\u2325T")
        // The checked one again: nothing changes, nothing is saved.
        click(part(hotkeyCard, "kind_hotkey"))
        verify(part(hotkeyCard, "kind_hotkey").checked)
        compare(probe.saves, 3)
    }

    function test_recording() {
        const view = makeView(true)
        const theCard = card(view, 1)
        const button = part(theCard, "recordButton")
        click(button)
        compare([recorder.recordingRow, button.text], [1, "Press keys\u2026"])
        click(button)
        compare([recorder.recordingRow, button.text, probe.saves], [-1, "\u2318\u2325T", 0])
        // QTest's key events carry no keycode: recording stops, nothing is recorded.
        click(button)
        keyClick(Qt.Key_T, Qt.ControlModifier | Qt.ShiftModifier)
        compare([recorder.recordingRow, probe.saves], [-1, 0])
        click(button)
        // A modifier alone waits for its key (X keycode 37 is Left Control, 28 is T).
        probe.nativeKeyPress(button, Qt.Key_Control, Qt.ControlModifier, 37, "")
        compare(recorder.recordingRow, 1)
        probe.nativeKeyPress(button, Qt.Key_T, Qt.ControlModifier | Qt.ShiftModifier, 28, "\u0014")
        compare([recorder.recordingRow, probe.saves, button.text], [-1, 1, "\u2303\u21E7T"])
        // The card goes while recording: the recording goes with it.
        click(button)
        click(part(theCard, "deleteButton"))
        tryCompare(recorder, "recordingRow", -1)
    }
}
