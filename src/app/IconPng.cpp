// Draws an SVG icon into PNGs, one per size, named <stem>-<size>.png, at
// build time: the program then shows its tray icon without loading Qt's SVG
// support. Usage: tarnwick_icon_png <icon.svg> <output directory> <size>...
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <cstdio>

int main(int argc, char* argv[]) {
    const QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 4) {
        std::fputs("usage: tarnwick_icon_png <icon.svg> <output directory> <size>...\n", stderr);
        return 2;
    }
    const QString svg = arguments[1];
    const QDir out(arguments[2]);
    if (!out.mkpath(QStringLiteral("."))) {
        return 1;
    }
    for (const QString& text : arguments.mid(3)) {
        const int size = text.toInt();
        QImageReader reader(svg);
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read();
        const QString png =
            out.filePath(QStringLiteral("%1-%2.png").arg(QFileInfo(svg).baseName(), text));
        if (image.isNull() || !image.save(png)) {
            std::fprintf(stderr, "tarnwick_icon_png: %s at %d px: %s\n", qPrintable(svg), size,
                         qPrintable(reader.errorString()));
            return 1;
        }
    }
    return 0;
}
