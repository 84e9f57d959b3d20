#pragma once
// Menus of the forms runtime: items, submenus and separators, shown as popups.

#include <functional>
#include <string>
#include <vector>

namespace forms {

// A menu item, a submenu or a separator (caption "-"). Top-level menus raise Click
// when they pop up, before they are drawn.
class Menu {
public:
    explicit Menu(const std::string &caption, Menu *parent = nullptr);
    Menu(const Menu &) = delete;
    Menu &operator=(const Menu &) = delete;

    std::string Caption() const { return caption_; }
    void setCaption(const std::string &caption) { caption_ = caption; }
    const std::vector<Menu *> &items() const { return items_; }
    bool isSeparator() const { return caption_ == "-"; }
    std::function<void()> Click;

private:
    std::string caption_;
    std::vector<Menu *> items_;
};

} // namespace forms
