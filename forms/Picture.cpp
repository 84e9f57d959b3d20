// Pictures compiled into the program, loaded by the body.

#include "forms/Picture.h"

#include "forms/Body.h"

namespace forms {

Picture Picture::Load(const std::string &name)
{
    Picture picture;
    picture.image_ = body::loadImage(name);
    return picture;
}

int Picture::widthPx() const { return image_ ? image_->width() : 0; }
int Picture::heightPx() const { return image_ ? image_->height() : 0; }

} // namespace forms
