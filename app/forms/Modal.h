#pragma once
// Inside the runtime: marks the time a popup menu, a modal window or a message box is
// open, so that a change of screen waits for it to close before the strip re-lays itself.

namespace forms {

class ModalScope {
public:
    ModalScope();
    ~ModalScope();
    ModalScope(const ModalScope &) = delete;
    ModalScope &operator=(const ModalScope &) = delete;
};

} // namespace forms
