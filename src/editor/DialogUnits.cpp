#include "DialogUnits.h"

#include "MulDiv.h"

namespace tqf {

int DialogUnits::MulDiv(int number, int numerator, int denominator) {
    return tqf::MulDiv(number, numerator, denominator);
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    const int left = X(x);
    const int top = Y(y);
    const int right = X(x + width);
    const int bottom = Y(y + height);
    return {left, top, right - left, bottom - top};
}

} // namespace tqf
