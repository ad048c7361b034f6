import QtQuick
import QtTest
import Tarnwick.Settings

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

    // edit, if given, changes the model before the view is made.
    function makeView(seeded, edit) {
        probe.reset(seeded)
        if (edit)
            edit()
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
        // Long text opens at its beginning.
        const longText = "x".repeat(300)
        const view = makeView(true, () => bindings.setData(bindings.index(1, 0), longText,
                                                           BindingListModel.CommandRole))
        compare(view.color, Qt.color("#1c1c21"))
        view.translucent = true
        fuzzyCompare(view.color.a, 0.82, 0.01)
        const theCard = card(view, 1)
        compare(part(theCard, "commandField").positionToRectangle(0).x, 0)
        compare(theCard.recordHint, "Records a shortcut. ⌘ is Super, ⌥ Alt, ⌃ Ctrl, ⇧ Shift.")
        // The hotkey spelled out; the hint where there is none.
        compare([theCard.recordTip, card(view, 0).recordTip], ["Super+Alt+T", theCard.recordHint])
        compare(theCard.runHint, "Test run now")
        // A hotkey that is not live on its own says why, under the recorder.
        const problem = part(theCard, "hotkeyProblem")
        verify(!problem.visible)
        probe.conflict(1, "taken", "")
        compare([problem.visible, problem.text], [true, "Super+Alt+T is taken by another program"])
        probe.conflict(1, "shared", "Terminal")
        compare(problem.text, "also used by 'Terminal'")
        compare(part(theCard, "nameField").placeholderText, "Name")
        compare(part(theCard, "commandField").placeholderText, "shell command (runs in /bin/zsh)")
        compare(part(view, "activeSwitch").text, "Active")
        compare(part(view, "addButton").text, "Add Command")
        const slider = part(view, "cornerSlider")
        compare([slider.from, slider.to, slider.stepSize], [2, 24, 0])
    }

    // Where the desktop keeps the keys, a hotkey card shows the key it gave,
    // or where it gives none, the command to bind instead, ready to copy (the
    // texts are the models' test); where it watches the corners, its words
    // are on corner cards alone, and it decides the size instead of the slider.
    function test_whatTheDesktopSays() {
        const view = makeView(true)
        const cornerCard = card(view, 0)
        const hotkeyCard = card(view, 1)
        const id = probe.field(1, "bindingId")
        const given = part(hotkeyCard, "desktopKey")
        const problem = part(hotkeyCard, "hotkeyProblem")
        const copy = part(hotkeyCard, "copyRunCommand")
        verify(!given.visible && !copy.visible)
        probe.desktopShortcuts("used", { [id]: "Ctrl+Shift+Y" })
        compare([given.visible, given.text, problem.visible], [true, "Desktop: Ctrl+Shift+Y", false])
        probe.desktopShortcuts("unavailable", {})
        compare([given.visible, problem.visible, copy.visible], [false, true, true])
        compare(part(hotkeyCard, "runCommand").text, "tarnwick --run " + id)
        verify(!part(cornerCard, "copyRunCommand").visible)
        click(copy)
        compare(probe.clipboard(), "tarnwick --run " + id)

        const cornerProblem = part(cornerCard, "cornerProblem")
        const note = part(cornerCard, "cornerNote")
        verify(!cornerProblem.visible && !note.visible)
        probe.cornerNotes(true, "KWin fires it", "KWin uses this corner for Overview",
                          "decided by KWin")
        compare([cornerProblem.visible, cornerProblem.text, note.visible, note.text],
                [true, "KWin uses this corner for Overview", true, "KWin fires it"])
        verify(!part(hotkeyCard, "cornerProblem").visible && !part(hotkeyCard, "cornerNote").visible)
        compare([part(view, "cornerSlider").visible, part(view, "cornerValue").text,
                 part(view, "cornerValue").font.family],
                [false, "decided by KWin", Qt.application.font.family])
        probe.cornerNotes(false, "", "", "")
        compare([cornerProblem.text, note.visible], ["Hot corners are not available on this desktop", false])
        const slider = part(view, "cornerSlider")
        compare([slider.visible, slider.enabled, part(view, "cornerValue").text], [true, false, "6 px"])
        probe.cornerNotes(true, "", "", "")
        compare(probe.saves, 0)
    }

    function test_addAndDeleteCards() {
        const view = makeView(false)
        const list = part(view, "bindingList")
        const empty = part(view, "emptyText")
        compare(empty.text, "No commands yet \u2014 click \u201CAdd Command\u201D.")
        for (let i = 0; i < 4; ++i)
            click(part(view, "addButton"))
        tryCompare(list, "count", 4)
        verify(!empty.visible)
        compare(probe.saves, 4)
        // The new card is scrolled into view, its name selected to be typed over.
        const added = card(view, 3)
        const top = added.mapToItem(list, 0, 0).y
        verify(top >= 0 && top + added.height <= list.height, top)
        verify(part(added, "nameField").activeFocus)
        compare(part(added, "nameField").selectedText, "New command")
        compare(part(added, "commandField").text, "notify-send hello")
        part(card(view, 2), "nameField").text = "typed"
        click(part(card(view, 2), "deleteButton"))
        tryCompare(list, "count", 3)
        compare(probe.saves, 5)
        compare(probe.field(2, "name"), "New command")
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
        const cases = [[7.9, "7 px"], [1e6, "1000000 px"], [1e300, "1e+300 px"], [NaN, "\u2014 px"],
                       [Infinity, "\u2014 px"], [-Infinity, "\u2014 px"], [undefined, "\u2014 px"]]
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
        // Escape's text is a control character: the key code is shown (X keycode 9).
        click(button)
        probe.nativeKeyPress(button, Qt.Key_Escape, Qt.NoModifier, 9, "\u001b")
        compare(button.text, "\u00B753")
    }

    // Tab walks the controls in the order they are seen, whatever order the
    // list made its cards in; the ring follows; Return presses as Space does.
    function test_keyboard() {
        const view = makeView(true, () => { for (let i = 0; i < 4; ++i) bindings.add() })
        const list = part(view, "bindingList")
        // Scrolled away and back: the first card is made again, after the others.
        list.positionViewAtEnd()
        waitForItemPolished(list)
        list.positionViewAtBeginning()
        waitForItemPolished(list)
        const top = ["nameField", "enabledSwitch", "deleteButton", "kind_corner", "kind_hotkey"]
        const expected = ["activeSwitch"]
        for (let row = 0; row < list.count; ++row) {
            const names = [...top, row === 1 ? "recordButton" : "cornerBox", "commandField", "runButton"]
            expected.push(...names.map(name => row + ":" + name))
        }
        expected.push("addButton", "cornerSlider", "activeSwitch")
        const ring = findChild(view, "focusRing")
        const seen = []
        part(view, "activeSwitch").forceActiveFocus(Qt.TabFocusReason)
        for (let step = 0; step < expected.length; ++step) {
            const focused = view.Window.activeFocusItem
            let card = focused
            while (card && card.bindingId === undefined)
                card = card.parent
            seen.push((card ? card.index + ":" : "") + focused.objectName)
            verify(ring.visible && ring.parent === focused, seen[step])
            keyClick(Qt.Key_Tab)
        }
        compare(seen, expected)
        // Back from the first card's name: the header, the footer, the last card's end.
        for (let i = 0; i < 4; ++i)
            keyClick(Qt.Key_Backtab)
        compare(view.Window.activeFocusItem, part(card(view, list.count - 1), "runButton"))
        list.positionViewAtBeginning()
        part(card(view, 1), "recordButton").forceActiveFocus(Qt.TabFocusReason)
        keyClick(Qt.Key_Return)
        compare(recorder.recordingRow, 1)
        recorder.stop(1)
        part(card(view, 1), "enabledSwitch").forceActiveFocus(Qt.TabFocusReason)
        const saves = probe.saves
        keyClick(Qt.Key_Enter)
        compare([probe.field(1, "enabled"), probe.saves], [false, saves + 1])
    }

    function test_runShowsItsOutcome_data() {
        return [{ tag: "success", command: "true", outcome: "ok", tip: "Test run now" },
                { tag: "exit status", command: "echo first >&2; echo second; exit 3",
                  outcome: "failed", tip: "first" },
                { tag: "no output", command: "exit 3", outcome: "failed",
                  tip: "The command failed without output" },
                { tag: "blank", command: " ", outcome: "failed", tip: "empty command" }]
    }
    function test_runShowsItsOutcome(data) {
        const theCard = card(makeView(true), 0)
        theCard.model.command = data.command
        click(part(theCard, "runButton"))
        tryCompare(theCard, "runOutcome", data.outcome, 10000)
        compare(theCard.runTip, data.tip)
    }

    SignalSpy {
        id: moveSpy
        signalName: "moveRequested"
    }
    // A press on the background, dragged, asks to move the window; one on a control does not.
    function test_dragOnTheBackground_data() {
        return [{ tag: "header", at: view => [part(view, "header"), 300, 30], moves: 1 },
                { tag: "card", at: view => [card(view, 0), 300, 8], moves: 1 },
                { tag: "between cards", at: view => [card(view, 0), 300, card(view, 0).height + 6],
                  moves: 1 },
                { tag: "switch", at: view => [part(view, "activeSwitch"), 10, 10], moves: 0 },
                { tag: "name field", at: view => [part(card(view, 0), "nameField"), 10, 10],
                  moves: 0 }]
    }
    function test_dragOnTheBackground(data) {
        const view = makeView(true)
        moveSpy.target = view
        moveSpy.clear()
        const [item, x, y] = data.at(view)
        mousePress(item, x, y)
        mouseMove(item, x + 30, y + 30, -1, Qt.LeftButton)
        mouseRelease(item, x + 30, y + 30)
        compare(moveSpy.count, data.moves)
    }

    // WCAG 2 contrast of the theme's colours, each over what it is drawn on
    // (translucent ones blended in first), so that a change of colour cannot
    // take text or a control below 4.5:1.
    function over(top, below) {
        return Qt.rgba(top.r * top.a + below.r * (1 - top.a), top.g * top.a + below.g * (1 - top.a),
                       top.b * top.a + below.b * (1 - top.a), 1)
    }
    function contrast(a, b) {
        const luminance = c => [c.r, c.g, c.b]
            .map(v => v <= 0.03928 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4))
            .reduce((sum, v, i) => sum + v * [0.2126, 0.7152, 0.0722][i], 0)
        const [high, low] = [luminance(a), luminance(b)].sort((x, y) => y - x)
        return (high + 0.05) / (low + 0.05)
    }
    function test_contrast_data() {
        const window = Theme.window
        const card = over(Theme.card, window)
        const well = over(Theme.well, card)
        const bar = over(Theme.bar, window)
        // The worst a compositor can put behind the translucent window: white.
        const translucent = over(Theme.translucentWindow, Qt.rgba(1, 1, 1, 1))
        return [
            { tag: "text on a card", fg: Theme.text, bg: card },
            { tag: "dimmed text in the header", fg: Theme.dimText, bg: bar },
            { tag: "dimmed text on a switched-off card", fg: Theme.dimText, bg: window },
            { tag: "dimmed text, translucent", fg: Theme.dimText, bg: translucent },
            { tag: "placeholder in a command", fg: Theme.placeholder, bg: well },
            { tag: "run symbol", fg: Theme.accentText, bg: well },
            { tag: "kind symbol, switch on", fg: Theme.accentText, bg: card },
            { tag: "delete symbol", fg: Theme.destructive, bg: card },
            { tag: "run failed", fg: Theme.destructive, bg: well },
            { tag: "run succeeded", fg: Theme.success, bg: well },
            { tag: "hotkey warning", fg: Theme.warning, bg: card },
            { tag: "accent button", fg: Theme.brightText, bg: Theme.accentButton },
            { tag: "recording button", fg: Theme.brightText, bg: Theme.recordingButton },
            { tag: "plain button", fg: Theme.text, bg: Theme.button },
            { tag: "switch off, its outline", fg: Theme.placeholder, bg: card },
            { tag: "focus ring", fg: Theme.focusRing, bg: card }]
    }
    function test_contrast(data) {
        const ratio = contrast(over(data.fg, data.bg), data.bg)
        verify(ratio >= 4.5, ratio.toFixed(2))
    }
}
