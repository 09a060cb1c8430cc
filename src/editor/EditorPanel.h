#pragma once

class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace tqf {

class FormatTreeView;
class SkinButton;
class SkinCheckBox;

// The controls of the main window that the commands read and write. The
// window owns them; the commands only refer to them.
struct EditorPanel {
    QWidget* window = nullptr;
    FormatTreeView* treeView = nullptr;

    // The message panel.
    QLineEdit* streamEdit = nullptr;
    QLineEdit* functionEdit = nullptr;
    SkinCheckBox* replyRequiredCheck = nullptr;
    QLineEdit* messageDescriptionEdit = nullptr;
    QLabel* messageCountLabel = nullptr;
    SkinButton* createButton = nullptr;
    SkinButton* updateMessageButton = nullptr;
    SkinButton* deleteMessageButton = nullptr;

    // The item panel and the node-move buttons.
    QComboBox* formatCombo = nullptr;
    QLineEdit* itemCountEdit = nullptr;
    SkinCheckBox* notFixedCheck = nullptr;
    QLineEdit* itemDescriptionEdit = nullptr;
    SkinButton* addItemButton = nullptr;
    SkinButton* updateItemButton = nullptr;
    SkinButton* deleteItemButton = nullptr;
    SkinButton* moveUpButton = nullptr;
    SkinButton* moveDownButton = nullptr;

    // The file buttons and the path display.
    SkinButton* newButton = nullptr;
    SkinButton* openButton = nullptr;
    SkinButton* saveButton = nullptr;
    SkinButton* saveAsButton = nullptr;
    SkinButton* exitButton = nullptr;
    QLabel* pathDisplay = nullptr;
};

} // namespace tqf
