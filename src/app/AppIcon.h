#pragma once

#include <QIcon>
#include <QImage>

namespace tqf {

// The program's icon: a 32 x 32 picture in the 16 standard colours of a
// page holding a small tree whose last node is highlighted.
class AppIcon {
public:
    static constexpr int ICON_SIZE = 32;

    static QImage Image();
    static QIcon Icon();
};

} // namespace tqf
