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
        if (seeded)
            probe.useSeed()
        else
            probe.useEmpty()
        compare(viewComponent.status, Component.Ready, viewComponent.errorString())
        const view = createTemporaryObject(viewComponent, testCase, {
            appModel: appModel, bindings: bindings, recorder: recorder,
            width: testCase.width, height: testCase.height })
        verify(view)
        waitForItemPolished(listOf(view))
        return view
    }
    function listOf(view) { return findChild(view, "bindingList") }
    function card(view, row) {
        const list = listOf(view)
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
    function typeText(text) {
        for (let i = 0; i < text.length; ++i)
            keyClick(text[i])
    }
    function shoot(view, file) {
        waitForRendering(view)
        const path = probe.screenshotDir + "/" + file
        probe.removeFile(path)
        grabImage(view).save(path)
        verify(probe.fileSize(path) > 0, path)
    }

    function cleanup() {
        // A test that leaves a recording behind would take the next test's keys.
        recorder.stop(recorder.recordingId)
    }

    function test_emptyTextUntilAdd() {
        const view = makeView(false)
        const empty = part(view, "emptyText")
        verify(empty.visible)
        compare(empty.text, "No commands yet \u2014 click \u201CAdd Command\u201D.")
        compare(empty.opacity, 0.6)
        click(part(view, "addButton"))
        tryCompare(listOf(view), "count", 1)
        tryVerify(() => !empty.visible)
        compare(probe.saves, 1)
    }

    function test_backgroundAndTexts() {
        const view = makeView(true)
        compare(view.color, Qt.color("#1c1c21"))
        view.translucent = true
        fuzzyCompare(view.color.a, 0.82, 0.01)
        fuzzyCompare(view.color.r, 0.11, 0.01)
        const theCard = card(view, 1)
        compare(theCard.recordHint,
                "Records a shortcut. ⌘ is Super, ⌥ Alt, ⌃ Ctrl, ⇧ Shift.")
        compare(theCard.runHint, "Test run now")
        compare(part(theCard, "nameField").placeholderText, "Name")
        compare(part(view, "activeSwitch").text, "Active")
        compare(part(view, "addButton").text, "Add Command")
        const slider = part(view, "cornerSlider")
        compare(slider.from, 2)
        compare(slider.to, 24)
        compare(slider.stepSize, 0)
    }

    function test_addShowsNewLastCard() {
        const view = makeView(true)
        compare(listOf(view).count, 2)
        click(part(view, "addButton"))
        tryCompare(listOf(view), "count", 3)
        const last = card(view, 2)
        compare(last.bindingId, probe.field(2, "bindingId"))
        compare(part(last, "nameField").text, "New command")
        compare(part(last, "commandField").text, "notify-send hello")
    }

    function test_nameSavesOnReturnOnly() {
        const view = makeView(true)
        const field = part(card(view, 0), "nameField")
        field.forceActiveFocus()
        field.cursorPosition = field.length
        typeText("xy")
        compare(probe.field(0, "name"), "Sleep displayxy")
        compare(probe.saves, 0)
        keyClick(Qt.Key_Return)
        compare(probe.saves, 1)
    }

    function test_commandSavesOnReturnOnly() {
        const view = makeView(true)
        const field = part(card(view, 1), "commandField")
        compare(field.placeholderText, "shell command (runs in /bin/zsh)")
        field.forceActiveFocus()
        field.selectAll()
        typeText("ls")
        compare(probe.field(1, "command"), "ls")
        compare(probe.saves, 0)
        keyClick(Qt.Key_Enter)
        compare(probe.saves, 1)
    }

    function test_activeSwitchSavesOncePerFlip() {
        const view = makeView(true)
        const active = part(view, "activeSwitch")
        verify(active.checked)
        compare(probe.saves, 0)
        click(active)
        verify(!appModel.globalEnabled)
        compare(probe.saves, 1)
        click(active)
        verify(appModel.globalEnabled)
        compare(probe.saves, 2)
    }

    function test_enabledSwitchSavesOncePerFlip() {
        const view = makeView(true)
        const enabled = part(card(view, 0), "enabledSwitch")
        verify(enabled.checked)
        compare(probe.saves, 0)
        click(enabled)
        compare(probe.field(0, "enabled"), false)
        compare(probe.saves, 1)
        click(enabled)
        compare(probe.field(0, "enabled"), true)
        compare(probe.saves, 2)
    }

    function test_sliderSavesPerValue() {
        const view = makeView(true)
        const slider = part(view, "cornerSlider")
        const label = part(view, "cornerValue")
        compare(slider.value, 6)
        compare(label.text, "6 px")
        compare(probe.saves, 0)
        slider.forceActiveFocus()
        keyClick(Qt.Key_Right)
        keyClick(Qt.Key_Right)
        compare(probe.saves, 2)
        fuzzyCompare(appModel.cornerSensitivity, 6.2, 1e-9)
        // A press at the far right end moves it there: one more value, one more save.
        mousePress(slider, slider.width - 2, slider.height / 2)
        mouseRelease(slider, slider.width - 2, slider.height / 2)
        verify(appModel.cornerSensitivity > 20)
        compare(probe.saves, 3)
        compare(label.text, Math.trunc(appModel.cornerSensitivity) + " px")
        // Still bound after the user moved it: a change elsewhere shows, unsaved.
        appModel.cornerSensitivity = 10
        compare(slider.value, 10)
        compare(label.text, "10 px")
        compare(probe.saves, 3)
    }

    function test_sizeLabelSurvivesOddValues() {
        const view = makeView(true)
        const label = part(view, "cornerValue")
        compare(view.pixelText(7.9), "7 px")
        compare(view.pixelText(NaN), "\u2014 px")
        compare(view.pixelText(Infinity), "\u2014 px")
        compare(view.pixelText(-Infinity), "\u2014 px")
        compare(view.pixelText(1e300), "\u2014 px")
        compare(view.pixelText(undefined), "\u2014 px")
        appModel.cornerSensitivity = NaN
        compare(label.text, "\u2014 px")
        appModel.cornerSensitivity = 1e300
        compare(label.text, "\u2014 px")
        compare(probe.saves, 0)
    }

    function test_pickingCornerSavesOnce() {
        const view = makeView(true)
        const box = part(card(view, 0), "cornerBox")
        compare(box.currentText, "Top-Left")
        compare(probe.saves, 0)
        box.forceActiveFocus()
        keyClick(Qt.Key_Down)
        compare(box.currentText, "Top-Right")
        compare(probe.field(0, "corner"), "topRight")
        compare(probe.saves, 1)
    }

    function test_pickingCornerFromPopup() {
        const view = makeView(true)
        const box = part(card(view, 0), "cornerBox")
        click(box)
        tryVerify(() => box.popup.opened)
        const item = box.popup.contentItem.itemAtIndex(3)
        verify(item)
        click(item)
        tryVerify(() => !box.popup.visible)
        compare(probe.field(0, "corner"), "bottomRight")
        compare(box.currentText, "Bottom-Right")
        compare(probe.saves, 1)
    }

    function test_kindSwitchKeepsBothValues() {
        const view = makeView(true)
        // The seed's hotkey binding: no corner stored, Top-Right shown and not written.
        const hotkeyCard = card(view, 1)
        compare(part(hotkeyCard, "recordButton").text, "\u2318\u2325T")
        click(part(hotkeyCard, "kind_corner"))
        compare(probe.field(1, "kind"), "corner")
        compare(probe.saves, 1)
        const box = part(hotkeyCard, "cornerBox")
        verify(box.visible)
        verify(!part(hotkeyCard, "recordButton").visible)
        compare(box.currentText, "Top-Right")
        compare(probe.field(1, "corner"), "")
        click(part(hotkeyCard, "kind_hotkey"))
        compare(probe.saves, 2)
        compare(part(hotkeyCard, "recordButton").text, "\u2318\u2325T")

        // The corner binding: no hotkey yet, its corner kept across the switch.
        const cornerCard = card(view, 0)
        click(part(cornerCard, "kind_hotkey"))
        compare(probe.saves, 3)
        compare(part(cornerCard, "recordButton").text, "Record shortcut")
        click(part(cornerCard, "kind_corner"))
        compare(probe.saves, 4)
        compare(part(cornerCard, "cornerBox").currentText, "Top-Left")
        compare(probe.field(0, "corner"), "topLeft")

        // The checked one again: nothing changes, nothing is saved.
        click(part(cornerCard, "kind_corner"))
        verify(part(cornerCard, "kind_corner").checked)
        compare(probe.saves, 4)
    }

    function test_deleteRemovesCard() {
        const view = makeView(true)
        click(part(card(view, 0), "deleteButton"))
        tryCompare(listOf(view), "count", 1)
        compare(probe.saves, 1)
        compare(part(card(view, 0), "nameField").text, "Open Terminal")
    }

    function test_recordCtrlShiftT() {
        const view = makeView(true)
        const theCard = card(view, 1)
        const button = part(theCard, "recordButton")
        click(button)
        compare(recorder.recordingId, theCard.bindingId)
        compare(button.text, "Press keys\u2026")
        // A modifier alone waits for its key (X keycode 37 is Left Control).
        probe.nativeKeyPress(button, Qt.Key_Control, Qt.ControlModifier, 37, "")
        compare(recorder.recordingId, theCard.bindingId)
        // X keycode 28 is evdev KEY_T.
        probe.nativeKeyPress(button, Qt.Key_T, Qt.ControlModifier | Qt.ShiftModifier, 28, "\u0014")
        compare(recorder.recordingId, "")
        compare(probe.saves, 1)
        compare(probe.field(1, "hotkeyDisplay"), "\u2303\u21E7T")
        compare(button.text, "\u2303\u21E7T")
    }

    function test_quickTestKeysCarryNoKeycode() {
        // QTest's key events have scan code 0: the recorder stops and records nothing.
        const view = makeView(true)
        const theCard = card(view, 1)
        const button = part(theCard, "recordButton")
        click(button)
        keyClick(Qt.Key_T, Qt.ControlModifier | Qt.ShiftModifier)
        compare(recorder.recordingId, "")
        compare(probe.saves, 0)
        compare(button.text, "\u2318\u2325T")
    }

    function test_secondPressStopsWithoutSaving() {
        const view = makeView(true)
        const button = part(card(view, 1), "recordButton")
        click(button)
        verify(recorder.recordingId !== "")
        click(button)
        compare(recorder.recordingId, "")
        compare(button.text, "\u2318\u2325T")
        compare(probe.saves, 0)
    }

    function test_deletingRecordingCardStops() {
        const view = makeView(true)
        const theCard = card(view, 1)
        click(part(theCard, "recordButton"))
        verify(recorder.recordingId !== "")
        click(part(theCard, "deleteButton"))
        tryCompare(listOf(view), "count", 1)
        tryCompare(recorder, "recordingId", "")
    }

    function test_screenshots() {
        let view = makeView(false)
        shoot(view, "settings-empty.png")
        view.destroy()
        view = makeView(true)
        click(part(view, "addButton"))
        click(part(view, "addButton"))
        tryCompare(listOf(view), "count", 4)
        // The fourth card lies below the window: switched through the model.
        bindings.setField(3, "kind", "hotkey")
        shoot(view, "settings-cards.png")
        click(part(card(view, 1), "recordButton"))
        shoot(view, "settings-recording.png")
        mouseMove(part(card(view, 1), "recordButton"))
        wait(800)
        shoot(view, "settings-tooltip.png")
        recorder.stop(recorder.recordingId)
        listOf(view).positionViewAtEnd()
        shoot(view, "settings-cards-end.png")
    }
}
