#include "AccessibleNames.h"

#include "ControlIds.h"
#include "EditorDialog.h"

#include <QLabel>

#include <array>

namespace tqf {

namespace {

// A field and the object name of the label beside it.
struct LabelledField {
    int id;
    const char* labelName;
};

constexpr std::array<LabelledField, 6> LABELLED_FIELDS{{
    {IDC_STREAM, "streamLabel"},
    {IDC_FUNCTION, "functionLabel"},
    {IDC_MESSAGE_DESCRIPTION, "messageDescriptionLabel"},
    {IDC_FORMAT, "itemFormatLabel"},
    {IDC_ITEM_COUNT, "itemCountLabel"},
    {IDC_ITEM_DESCRIPTION, "itemDescriptionLabel"},
}};

// A control and the name it is read by.
struct NamedControl {
    int id;
    const char* name;
};

// The message panel and the item panel both have "Update" and "Delete"; the
// move buttons' captions are arrows and words in capitals.
constexpr std::array<NamedControl, 9> NAMED_CONTROLS{{
    {IDC_TREE, "Messages"},
    {IDC_CREATE_MESSAGE, "Create message"},
    {IDC_UPDATE_MESSAGE, "Update message"},
    {IDC_DELETE_MESSAGE, "Delete message"},
    {IDC_ADD_ITEM, "Add item"},
    {IDC_UPDATE_ITEM, "Update item"},
    {IDC_DELETE_ITEM, "Delete item"},
    {IDC_MOVE_UP, "Move up"},
    {IDC_MOVE_DOWN, "Move down"},
}};

} // namespace

void NameControls(EditorDialog& window) {
    for (const LabelledField& field : LABELLED_FIELDS) {
        QWidget* control = window.Control(field.id);
        auto* label = window.findChild<QLabel*>(QString::fromLatin1(field.labelName));
        if (control != nullptr && label != nullptr) {
            label->setBuddy(control);
            control->setAccessibleName(label->text());
        }
    }
    for (const NamedControl& named : NAMED_CONTROLS) {
        if (QWidget* control = window.Control(named.id)) {
            control->setAccessibleName(QString::fromLatin1(named.name));
        }
    }
}

} // namespace tqf
