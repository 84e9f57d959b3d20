// Menus of the forms runtime: the tree of items.

#include "forms/Menu.h"

namespace forms {

Menu::Menu(const std::string &caption, Menu *parent) : caption_(caption)
{
    if (parent)
        parent->items_.push_back(this);
}

} // namespace forms
