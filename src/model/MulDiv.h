#pragma once

namespace tqf {

// number * numerator / denominator, computed without overflow and rounded
// half away from zero; -1 for a denominator of 0. Dialog units and point
// sizes become pixels with it.
int MulDiv(int number, int numerator, int denominator);

} // namespace tqf
