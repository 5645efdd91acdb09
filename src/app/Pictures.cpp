#include "Pictures.h"

#include <QBuffer>
#include <QPainter>
#include <QSvgGenerator>

#include <stdexcept>

QByteArray PngFile(const QImage &image) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, "PNG"))
        throw std::runtime_error("cannot encode the PNG picture");
    return buffer.data();
}

QByteArray SvgDocument(const QSize &size, const QString &title, const QString &description,
                       const std::function<void(QPainter &)> &paint) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(), size));
    // One user unit per pixel, as the windows measure fonts and gates.
    svg.setResolution(96);
    svg.setTitle(title);
    svg.setDescription(description);
    QPainter painter(&svg);
    if (!painter.isActive()) throw std::runtime_error("cannot draw the SVG picture");
    paint(painter);
    painter.end();
    return buffer.data();
}
