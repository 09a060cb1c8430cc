#pragma once

#include "RoundTripCheck.h"

namespace tqf::reference {

// The save's check as it was before it compared while reading: it read the
// written file back into a second document and compared the two.
RoundTripReport CheckRoundTrip(const FormatNode* root);

} // namespace tqf::reference
