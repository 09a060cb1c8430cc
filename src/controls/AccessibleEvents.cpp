#include "AccessibleEvents.h"

#include <utility>

namespace tqf {

AccessibleEvents::Listener& AccessibleEvents::Current() {
    static Listener listener;
    return listener;
}

bool AccessibleEvents::Listening() { return Current() != nullptr || QAccessible::isActive(); }

void AccessibleEvents::Send(QAccessibleEvent& event) {
    if (Current() != nullptr) {
        Current()(event);
    } else {
        QAccessible::updateAccessibility(&event);
    }
}

void AccessibleEvents::SetListener(Listener listener) { Current() = std::move(listener); }

} // namespace tqf
