#pragma once
// Pictures compiled into the program.

#include <memory>
#include <string>

namespace forms {

namespace body {
class Image;
}

// An image file compiled into the program, shared by every control that shows it.
class Picture {
public:
    Picture() = default;
    // Loads a picture by its file name, such as "plate.bmp".
    static Picture Load(const std::string &name);
    bool isNull() const { return !image_; }
    int widthPx() const;
    int heightPx() const;
    const body::Image &image() const { return *image_; }

private:
    std::shared_ptr<const body::Image> image_;
};

} // namespace forms
