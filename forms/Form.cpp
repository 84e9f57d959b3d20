// Top-level windows of the forms runtime, and the registry of default instances.

#include "forms/Form.h"

#include <vector>

#include "forms/Menu.h"
#include "forms/Modal.h"
#include "forms/Runtime.h"
#include "forms/Screen.h"
#include "forms/Twips.h"

namespace forms {

namespace {

// Like the default instances themselves, never destroyed at exit (see detail::defaultSlot).
std::vector<std::function<void()>> &defaultInstances()
{
    static auto *destroyers = new std::vector<std::function<void()>>;
    return *destroyers;
}

std::vector<std::unique_ptr<Form>> &adoptedForms()
{
    static auto *forms = new std::vector<std::unique_ptr<Form>>;
    return *forms;
}

} // namespace

Form::Form(FormStyle style) : style_(style)
{
    visible_ = false;
    create(nullptr, body::createForm(*this, style));
}

Form::~Form() = default;

void Form::setCaption(const std::string &caption)
{
    caption_ = caption;
    hWnd()->setTitle(caption);
}

void Form::setBackColor(Color color)
{
    backColor_ = color;
    // A particle shows nothing but its colour: the window system fills it, which saves
    // a paint for each of twenty windows every frame.
    if (style_ == FormStyle::Particle && hWnd()->setNativeBackground(color))
        return;
    refresh();
}

void Form::setIcon(const Picture &icon) { hWnd()->setIcon(icon.image()); }

void Form::setClientSize(float width, float height)
{
    width_ = width;
    height_ = height;
    place();
}

void Form::PaintPicture(const Picture &picture, float x1, float y1, float width1, float height1, float x2,
                        float y2, float width2, float height2)
{
    hWnd()->surface().copy(picture.image(), {toPx(x2), toPx(y2), toPx(width2), toPx(height2)},
                           {toPx(x1), toPx(y1), toPx(width1), toPx(height1)}, backColor_);
    refresh();
}

TwipsPoint Form::ScreenOrigin() const
{
    const std::optional<PixelPoint> origin = hWnd()->screenOrigin();
    if (!origin)
        return {Left(), Top()};
    return {static_cast<float>(origin->x) * Screen::TwipsPerPixelX(),
            static_cast<float>(origin->y) * Screen::TwipsPerPixelY()};
}

void Form::paint(body::Canvas &canvas) { canvas.fill(rectPx(), backColor_); }

void Form::PopupMenu(Menu &menu)
{
    const ModalScope modal;
    if (hooks().popupMenu) {
        if (menu.Click)
            menu.Click();
        hooks().popupMenu(menu);
        return;
    }
    body::popupMenu(menu);
}

void Form::Show()
{
    loaded_ = true;
    visible_ = true;
    hWnd()->setVisible(true);
}

void Form::setVisible(bool visible)
{
    if (visible) {
        Show();
    } else {
        visible_ = false;
        hWnd()->setVisible(false);
    }
}

void Form::ShowModal()
{
    const ModalScope modal;
    Show();
    // Centred on the whole screen, as far as the window system has told its frame yet;
    // panels do not shift it.
    hWnd()->centreModal(PrimaryScreen().geometry);
    if (hooks().showModal)
        hooks().showModal(*this);
    body::runModalLoop([this] { return !loaded_; });
}

void Form::Unload()
{
    loaded_ = false;
    visible_ = false;
    hWnd()->setVisible(false);
}

void Form::closeRequested()
{
    // The strip has no close box; a window manager's close request ends the game, since
    // a program without its only visible window would live on unseen.
    if (style_ == FormStyle::Strip)
        End();
    Unload();
}

void detail::registerDefaultInstance(std::function<void()> destroy)
{
    defaultInstances().push_back(std::move(destroy));
}

void detail::adopt(std::unique_ptr<Form> form) { adoptedForms().push_back(std::move(form)); }

void DestroyDefaultInstances()
{
    for (auto &destroy : defaultInstances())
        destroy();
    adoptedForms().clear();
}

} // namespace forms
