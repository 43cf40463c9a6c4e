// SPDX-License-Identifier: GPL-3.0-or-later
// Renders an SVG picture to PNG files of the given square sizes, for the icon themes that want
// pixels: OUTDIR/<size>x<size>/apps/NAME.png. Runs at build time, so the installed PNG icons always
// match the SVG.
// usage: render-icon SVG OUTDIR NAME SIZE...
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: render-icon SVG OUTDIR NAME SIZE...\n");
        return 2;
    }
    // Shapes only: painting into an image needs no application object and no display. (An icon
    // with text in it would need a QGuiApplication for the fonts; ours has none.)
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "render-icon: cannot read %s\n", argv[1]);
        return 1;
    }
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    const QString out = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    for (int i = 4; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        if (size <= 0 || size > 1024) {
            std::fprintf(stderr, "render-icon: no size: %s\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        const QString dir = out + QStringLiteral("/%1x%1/apps").arg(size);
        const QString file = dir + u'/' + name + QStringLiteral(".png");
        if (!QDir().mkpath(dir) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "render-icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
