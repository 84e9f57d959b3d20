#pragma once
// Inside the runtime: marks the time a popup menu, a modal window or a message box is
// open, so that work which must not run inside one (re-laying the strip for a changed
// screen) waits for it to close.

#include <functional>

namespace forms {

class ModalScope {
public:
    ModalScope();
    ~ModalScope();
    ModalScope(const ModalScope &) = delete;
    ModalScope &operator=(const ModalScope &) = delete;
};

// Whether a popup menu, a modal window or a message box is open now.
bool ModalOpen();

// Runs the action once the last open one has closed; a later call replaces an action still
// waiting, and nullptr drops it.
void AfterModals(std::function<void()> action);

} // namespace forms
