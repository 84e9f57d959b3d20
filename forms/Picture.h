#pragma once
// Pictures compiled into the program.

#include <memory>
#include <string>

class QImage;

namespace forms {

// An image file compiled into the program, shared by every control that shows it.
class Picture {
public:
    Picture() = default;
    // Loads a picture from the program's resources, such as ":/plate.bmp".
    static Picture Load(const std::string &resource);
    bool isNull() const { return !image_; }
    int widthPx() const;
    int heightPx() const;
    const QImage &image() const { return *image_; }

private:
    std::shared_ptr<const QImage> image_;
};

} // namespace forms
