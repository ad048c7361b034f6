pragma Singleton
import QtQuick

// The settings window's colours and metrics, in one place.
QtObject {
    readonly property color accent: "#af52de"
    readonly property color destructive: "#ff453a"
    readonly property color window: "#1c1c21"
    readonly property color translucentWindow: Qt.rgba(0.11, 0.11, 0.13, 0.82)
    readonly property color text: "#f2f2f7"
    readonly property color brightText: "#ffffff"
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
    readonly property real dimmed: 0.6
    readonly property int cardRadius: 14
    readonly property int wellRadius: 8
    readonly property int titleSize: 19
    readonly property int smallSize: 11
}
