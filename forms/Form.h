#pragma once
// Top-level windows of the forms runtime and their default instances: naming a window class
// creates its one window on first use.

#include <functional>
#include <memory>
#include <string>

#include "forms/Controls.h"

namespace forms {

class Menu;

// A top-level window.
class Form : public Clickable {
public:
    explicit Form(FormStyle style);
    ~Form() override;

    std::string Caption() const { return caption_; }
    void setCaption(const std::string &caption);
    Color BackColor() const { return backColor_; }
    void setBackColor(Color color);
    void setIcon(const Picture &icon);
    // Sizes the window so that its client area is width x height twips.
    void setClientSize(float width, float height);

    // Copies the source rectangle of the picture, stretched, onto the target rectangle
    // of the window's persistent surface (all twips).
    void PaintPicture(const Picture &picture, float x1, float y1, float width1, float height1,
                      float x2, float y2, float width2, float height2);
    // Shows the menu at the mouse position; returns when it is closed.
    void PopupMenu(Menu &menu);
    void Show();
    void setVisible(bool visible) override;
    // Shows the window modal; returns when it has been unloaded.
    void ShowModal();
    // Closes the window; a modal loop showing it returns.
    void Unload();
    bool Loaded() const { return loaded_; }
    // Where the window's client area starts on the screen, twips: where the window system
    // has it (a window manager may have moved it), else where the program put it.
    TwipsPoint ScreenOrigin() const;

protected:
    void paint(body::Canvas &canvas) override;
    void closeRequested() override;

private:
    FormStyle style_;
    std::string caption_;
    Color backColor_ = vbButtonFace;
    bool loaded_ = true;
};

namespace detail {
void registerDefaultInstance(std::function<void()> destroy);
void adopt(std::unique_ptr<Form> form);

// Never destroyed at exit: windows go with DestroyDefaultInstances while the window system
// is still there, not after it (an exit() from inside it, say when the display is lost).
template <class F> std::unique_ptr<F> &defaultSlot()
{
    static auto *slot = new std::unique_ptr<F>;
    return *slot;
}
} // namespace detail

// The window class's default instance, created (hidden) the first time it is named.
template <class F> F &Default()
{
    auto &slot = detail::defaultSlot<F>();
    if (!slot) {
        static const bool registered =
            (detail::registerDefaultInstance([] { detail::defaultSlot<F>().reset(); }), true);
        (void)registered;
        slot = std::make_unique<F>();
    }
    return *slot;
}

// Destroys the default instance; naming the class again creates a new one, so a dialog
// opened again starts afresh.
template <class F> void DestroyDefault() { detail::defaultSlot<F>().reset(); }

template <class F> bool IsLoaded() { return detail::defaultSlot<F>() && detail::defaultSlot<F>()->Loaded(); }

// Closes the default instance if it is loaded; a window not loaded is left alone.
template <class F> void Unload()
{
    if (IsLoaded<F>())
        detail::defaultSlot<F>()->Unload();
}

// Hands the runtime a further instance of a window class to own, such as one window of a
// pool made at start-up; it lives as long as the default instances do.
template <class F> F &Adopt(std::unique_ptr<F> form)
{
    F &adopted = *form;
    detail::adopt(std::move(form));
    return adopted;
}

// Destroys every default instance and every adopted window; call it before the window
// system goes (tests also start each case from a fresh set of windows with it).
void DestroyDefaultInstances();

} // namespace forms
