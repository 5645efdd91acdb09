#pragma once

// Pictures as file contents, for the commands that save what the program draws.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

class QPainter;

// Throw std::runtime_error when the picture cannot be made.
QByteArray PngFile(const QImage &image);
// A document of size pixels that paint draws on, one user unit per pixel.
QByteArray SvgDocument(const QSize &size, const QString &title, const QString &description,
                       const std::function<void(QPainter &)> &paint);
