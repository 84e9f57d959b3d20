// Pictures compiled into the program.

#include "forms/Picture.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>

namespace forms {

Picture Picture::Load(const std::string &resource)
{
    const QString path = QString::fromStdString(resource);
    QImageReader reader(path, QFileInfo(path).suffix().toLatin1());
    // The name says the format: probing by content would load every image plugin, half
    // of what the pictures cost at start-up.
    reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    if (image.isNull())
        qFatal("cannot load the picture %s", resource.c_str());
    // Pictures are pixel art: one image pixel is one logical pixel at any scale.
    image.setDevicePixelRatio(1.0);
    Picture picture;
    picture.image_ = std::make_shared<const QImage>(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    return picture;
}

int Picture::widthPx() const { return image_ ? image_->width() : 0; }
int Picture::heightPx() const { return image_ ? image_->height() : 0; }

} // namespace forms
