// The count of open popup menus, modal windows and message boxes, and what waits for them.

#include "forms/Modal.h"

#include <utility>

namespace forms {

namespace {
int g_modalDepth = 0;
std::function<void()> g_waiting;
} // namespace

ModalScope::ModalScope() { ++g_modalDepth; }

ModalScope::~ModalScope()
{
    if (--g_modalDepth == 0 && g_waiting)
        std::exchange(g_waiting, nullptr)();
}

bool ModalOpen() { return g_modalDepth > 0; }

void AfterModals(std::function<void()> action) { g_waiting = std::move(action); }

} // namespace forms
