#pragma once

namespace tqf {

class EditorDialog;

// Gives the window's controls the names a screen reader says: each field the
// text of the label beside it (which also becomes its buddy), and each button
// whose caption is shared or made of signs a name that tells what it acts on.
// The painted captions stay as they are.
void NameControls(EditorDialog& window);

} // namespace tqf
