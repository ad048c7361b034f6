import QtQuick

// One of the module's icons, or a text stand-in while its SVG is missing.
Item {
    id: glyph
    property string name
    property string fallback: "•"
    property color color: Theme.accent
    property int size: 16
    // The tinted copy made at build time ("accent", "destructive"); otherwise the icon as drawn.
    property string tint

    implicitWidth: size
    implicitHeight: size

    Image {
        id: image
        anchors.fill: parent
        source: glyph.name ? "qrc:/Tarnwick/Settings/icons/" + glyph.name + (glyph.tint ? "-" + glyph.tint : "") + ".svg"
                          : ""
        // WORKAROUND: Qt 6.4's type information lacks QSize, so qmllint cannot see this one.
        sourceSize: Qt.size(glyph.size, glyph.size) // qmllint disable
        fillMode: Image.PreserveAspectFit
        visible: status === Image.Ready
    }
    Text {
        anchors.centerIn: parent
        visible: image.status !== Image.Ready
        text: glyph.fallback
        color: glyph.color
        font.pixelSize: glyph.size
    }
}
