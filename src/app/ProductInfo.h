#pragma once

#include "TqfVersion.h"

namespace tqf {

// The product's name and version, as the title bar, the About box and the
// application object show them.
inline constexpr const char* PRODUCT_NAME = "TQF Editor";
inline constexpr const char* PRODUCT_VERSION = TQF_VERSION;

} // namespace tqf
