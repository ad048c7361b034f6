pragma Singleton
import QtQuick

// The settings window's colours and metrics, in one place. Every colour that
// text or a control is drawn in stays at 4.5:1 or more against what it is
// drawn on (the test computes it); the tray menu copies the window's.
QtObject {
    // Fills: the switches' track, the slider.
    readonly property color accent: "#af52de"
    // Accent symbols on the dark surfaces (the build tints the icons so).
    readonly property color accentText: "#c77dff"
    // Buttons with white text: the accent, and the recorder while it records.
    readonly property color accentButton: "#793999"
    readonly property color recordingButton: "#b3302a"
    // The delete symbol (the build tints it so), a failed run.
    readonly property color destructive: "#ff6961"
    readonly property color warning: "#ffb340"
    readonly property color success: "#30d158"
    readonly property color focusRing: "#c77dff"
    readonly property color window: "#1c1c21"
    readonly property color translucentWindow: Qt.rgba(0.11, 0.11, 0.13, 0.82)
    readonly property color text: "#f2f2f7"
    readonly property color brightText: "#ffffff"
    readonly property color placeholder: "#a2a2a8"
    readonly property color base: "#2a2a31"
    readonly property color alternateBase: "#24242a"
    readonly property color button: "#3a3a42"
    readonly property color light: "#4a4a52"
    readonly property color mid: "#2e2e35"
    readonly property color dark: "#141417"
    readonly property color bar: Qt.rgba(1, 1, 1, 0.05)
    readonly property color card: Qt.rgba(1, 1, 1, 0.06)
    readonly property color cardBorder: Qt.rgba(1, 1, 1, 0.12)
    readonly property color well: Qt.rgba(0, 0, 0, 0.2)
    // A switched-off binding's card: no fill, its text dimmed.
    readonly property color offCard: "transparent"
    readonly property real dimmed: 0.66
    readonly property color dimText: Qt.rgba(text.r, text.g, text.b, dimmed)
    readonly property int cardRadius: 14
    readonly property int wellRadius: 8
    readonly property int buttonRadius: 6
    readonly property int titleSize: 19
    readonly property int smallSize: 11
}
