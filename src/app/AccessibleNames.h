#pragma once

namespace tqf {

class EditorDialog;

// Gives the window's controls the names a screen reader says: each field the
// text of the label beside it (which also becomes its buddy), and each button
// whose caption is shared or made of signs a name that tells what it acts on.
// The painted captions stay as they are.
void NameControls(EditorDialog& window);

// Makes each group box's controls (fields, their labels, buttons) children
// of a panel named after the group, which covers exactly the group, so that a screen
// reader finds every field in its group and says the group on entering it.
// The panel draws nothing and takes no click of its own; pixels, tab order
// and clicks stay as they were.
void GroupControlsInPanels(EditorDialog& window);

} // namespace tqf
