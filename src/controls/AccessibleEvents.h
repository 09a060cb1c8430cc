#pragma once

#include <QAccessible>

#include <functional>

namespace tqf {

// Where the accessibility events of the skinned controls and of the tree go:
// to Qt, which hands them to the platform's bridge to assistive tools while
// one listens. A platform without a bridge (a headless one) drops every
// event, so a listener may take Qt's place, as the tests do.
class AccessibleEvents {
public:
    using Listener = std::function<void(QAccessibleEvent&)>;

    // Whether anyone hears the events: working them out can be skipped
    // otherwise.
    static bool Listening();
    static void Send(QAccessibleEvent& event);
    // An empty listener gives the events back to Qt.
    static void SetListener(Listener listener);

private:
    static Listener& Current();
};

} // namespace tqf
