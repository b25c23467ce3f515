// Build-time tool: renders the scalable application icon into the PNG sizes the icon theme
// installs.
// Usage: tarvelo_render_icon ICON.svg OUTPUT_DIR NAME SIZE...
// Writes OUTPUT_DIR/<SIZE>x<SIZE>/NAME.png for each size. Exit status 0, or 1 on any failure.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fputs("usage: tarvelo_render_icon ICON.svg OUTPUT_DIR NAME SIZE...\n", stderr);
        return 1;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "tarvelo_render_icon: cannot read %s\n", argv[1]);
        return 1;
    }
    const QDir output(QString::fromLocal8Bit(argv[2]));
    const QString name = QString::fromLocal8Bit(argv[3]);
    for (int i = 4; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        if (size <= 0) {
            std::fprintf(stderr, "tarvelo_render_icon: bad size %s\n", argv[i]);
            return 1;
        }
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter);
        }
        const QString folder = QStringLiteral("%1x%1").arg(size);
        const QString file =
            output.filePath(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
        if (!output.mkpath(folder) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "tarvelo_render_icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
