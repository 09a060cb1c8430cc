#pragma once

namespace tqf {

// Makes the "Tahoma" family available to the application: Linux has none of
// its own, but the Wine project's files can be registered. Registers them once
// per process; later calls only answer. Returns true when a "Tahoma" family is
// available; otherwise Qt falls back to the default sans serif.
bool EnsureTahomaRegistered();

} // namespace tqf
