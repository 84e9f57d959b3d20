// Menus of the forms runtime, shown through QMenu.

#include "forms/Menu.h"

#include <QAction>
#include <QMenu>

namespace forms {

Menu::Menu(const std::string &caption, Menu *parent) : caption_(caption)
{
    if (parent)
        parent->addItem(this);
}

Menu::~Menu() = default;

void Menu::addItem(Menu *item) { items_.push_back(item); }

void Menu::setCaption(const std::string &caption)
{
    caption_ = caption;
    if (action_)
        action_->setText(QString::fromStdString(caption));
    if (menu_)
        menu_->setTitle(QString::fromStdString(caption));
}

QMenu *Menu::qmenu()
{
    if (menu_)
        return menu_.get();
    menu_ = std::make_unique<QMenu>(QString::fromStdString(caption_));
    QObject::connect(menu_.get(), &QMenu::aboutToShow, [this] {
        if (Click)
            Click();
    });
    for (Menu *item : items_) {
        if (item->isSeparator()) {
            menu_->addSeparator();
        } else if (!item->items_.empty()) {
            menu_->addMenu(item->qmenu());
        } else {
            item->action_ = std::make_unique<QAction>(QString::fromStdString(item->caption_));
            QObject::connect(item->action_.get(), &QAction::triggered, [item] {
                if (item->Click)
                    item->Click();
            });
            menu_->addAction(item->action_.get());
        }
    }
    return menu_.get();
}

} // namespace forms
