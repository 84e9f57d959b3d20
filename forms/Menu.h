#pragma once
// Menus of the forms runtime: items, submenus and separators, shown as popups.

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;

namespace forms {

// A menu item, a submenu or a separator (caption "-"). Top-level menus raise Click
// when they pop up, before they are drawn.
class Menu {
public:
    explicit Menu(const std::string &caption, Menu *parent = nullptr);
    Menu(const Menu &) = delete;
    Menu &operator=(const Menu &) = delete;
    ~Menu();

    std::string Caption() const { return caption_; }
    void setCaption(const std::string &caption);
    const std::vector<Menu *> &items() const { return items_; }
    bool isSeparator() const { return caption_ == "-"; }
    std::function<void()> Click;

    // The Qt menu showing this menu's items.
    QMenu *qmenu();

private:
    void addItem(Menu *item);
    std::string caption_;
    std::vector<Menu *> items_;
    std::unique_ptr<QMenu> menu_;
    std::unique_ptr<QAction> action_;
};

} // namespace forms
