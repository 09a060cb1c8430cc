#include "EditorCommands.h"

#include "ControlIds.h"
#include "Decimal.h"
#include "FormatTree.h"
#include "FormatTreeView.h"
#include "ItemFormat.h"
#include "Labels.h"
#include "Prompts.h"
#include "SkinButton.h"
#include "SkinCheckBox.h"
#include "TreeMessages.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>

#include <cstdint>

namespace tqf {

namespace {

constexpr std::uint32_t MIN_STREAM = 1;
constexpr std::uint32_t MAX_STREAM = 127;
constexpr std::uint32_t MIN_FUNCTION = 0;
constexpr std::uint32_t MAX_FUNCTION = 255;

constexpr const char* OPEN_COUNT_TEXT = "n";
constexpr const char* OPEN_COUNT_NUMBER_TEXT = "-1";
constexpr const char* LIST_COUNT_PRESET = "0";
constexpr const char* ASCII_COUNT_PRESET = "100";
constexpr const char* SCALAR_COUNT_PRESET = "1";
constexpr const char* UNFIXED_COUNT_PRESET = "1";

std::string ToBytes(const QString& text) { return text.toLocal8Bit().toStdString(); }

QString FromBytes(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

// The message a node belongs to: the node itself or its nearest ancestor that
// is a message.
FormatNode* MessageOf(FormatNode* node) {
    while (node != nullptr && node->isMessage == 0) {
        node = node->parent;
    }
    return node;
}

// An ASCII item needs a count; "0" and an empty field are refused, while other
// texts that read as 0 ("00", letters) pass as the panel has always let them.
bool IsZeroLengthCount(const std::string& countText) { return countText.empty() || countText == "0"; }

int SelectedFormatRow(const QComboBox* combo) { return combo->currentIndex(); }

} // namespace

EditorCommands::EditorCommands(const EditorPanel& panel, Prompts& prompts, QObject* parent)
    : QObject(parent), panel_(panel), prompts_(prompts) {
    Connect();
}

EditorCommands::~EditorCommands() = default;

void EditorCommands::Connect() {
    const struct {
        SkinButton* button;
        int id;
    } buttons[] = {
        {panel_.createButton, IDC_CREATE_MESSAGE},
        {panel_.updateMessageButton, IDC_UPDATE_MESSAGE},
        {panel_.deleteMessageButton, IDC_DELETE_MESSAGE},
        {panel_.addItemButton, IDC_ADD_ITEM},
        {panel_.updateItemButton, IDC_UPDATE_ITEM},
        {panel_.deleteItemButton, IDC_DELETE_ITEM},
        {panel_.moveUpButton, IDC_MOVE_UP},
        {panel_.moveDownButton, IDC_MOVE_DOWN},
        {panel_.notFixedCheck, IDC_NOT_FIXED},
    };
    for (const auto& entry : buttons) {
        if (entry.button != nullptr) {
            const int id = entry.id;
            connect(entry.button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
        }
    }
    // Only the user's choice of a row counts, not the commands' own settings.
    connect(panel_.formatCombo, &QComboBox::activated, this, [this] { OnFormatChanged(); });
    // The reply flag follows what the user types; the commands' own writes of
    // the field leave the flag as they set it.
    connect(panel_.functionEdit, &QLineEdit::textEdited, this, [this] { OnFunctionChanged(); });
    if (panel_.treeView != nullptr) {
        connect(panel_.treeView, &FormatTreeView::TreeNotification, this,
                [this](int message, FormatNode* node) { QueueTreeNotification(message, node); });
        connect(panel_.treeView, &FormatTreeView::NodesAboutToBeDeleted, this,
                [this](const FormatNode* subtreeRoot) { OnNodesAboutToBeDeleted(subtreeRoot); });
    }
}

FormatTree& EditorCommands::Tree() const { return panel_.treeView->Tree(); }

void EditorCommands::Show(const char* text) { prompts_.ShowMessage(QString::fromLatin1(text)); }

void EditorCommands::OnCommand(int controlId) {
    switch (controlId) {
    case IDC_CREATE_MESSAGE:
        CreateMessage();
        break;
    case IDC_UPDATE_MESSAGE:
        UpdateMessage();
        break;
    case IDC_DELETE_MESSAGE:
        DeleteMessage();
        break;
    case IDC_ADD_ITEM:
        AddItem();
        break;
    case IDC_UPDATE_ITEM:
        UpdateItem();
        break;
    case IDC_DELETE_ITEM:
        DeleteItem();
        break;
    case IDC_MOVE_UP:
        MoveUp();
        break;
    case IDC_MOVE_DOWN:
        MoveDown();
        break;
    case IDC_NOT_FIXED:
        OnNotFixedClicked();
        break;
    default:
        break;
    }
}

void EditorCommands::ReadFields() {
    streamText = ToBytes(panel_.streamEdit->text());
    functionText = ToBytes(panel_.functionEdit->text());
    messageDescription = ToBytes(panel_.messageDescriptionEdit->text());
    itemCountText = ToBytes(panel_.itemCountEdit->text());
    itemDescription = ToBytes(panel_.itemDescriptionEdit->text());
}

void EditorCommands::WriteFields() {
    panel_.functionEdit->setText(FromBytes(functionText));
    panel_.streamEdit->setText(FromBytes(streamText));
    panel_.messageDescriptionEdit->setText(FromBytes(messageDescription));
    panel_.itemCountEdit->setText(FromBytes(itemCountText));
    panel_.itemDescriptionEdit->setText(FromBytes(itemDescription));
}

void EditorCommands::RepaintWindow() {
    panel_.window->update();
    panel_.treeView->Redraw();
}

void EditorCommands::UnhighlightLastCreated() {
    if (lastCreatedNode != nullptr) {
        panel_.treeView->SetNodeColor(lastCreatedNode, panel_.treeView->TextColor(), true);
    }
}

void EditorCommands::ClearMessageFields() {
    streamText.clear();
    functionText.clear();
    messageDescription.clear();
    panel_.replyRequiredCheck->SetCheck(0);
}

// ---- Message commands ----

void EditorCommands::CreateMessage() {
    // Any attempt counts as a change, also one that the checks refuse.
    modified = true;
    ReadFields();
    if (!PanelNumberInRange(streamText, MIN_STREAM, MAX_STREAM)) {
        Show(MSG_INVALID_STREAM);
        return;
    }
    if (!PanelNumberInRange(functionText, MIN_FUNCTION, MAX_FUNCTION)) {
        Show(MSG_INVALID_FUNCTION);
        return;
    }
    const std::int32_t stream = ReadPanelNumber(streamText);
    const std::int32_t function = ReadPanelNumber(functionText);
    std::string label = MakeMessageLabel(stream, function, panel_.replyRequiredCheck->GetCheck() != 0);
    messageDescription = std::string(TrimSpace(messageDescription));

    FormatTree& tree = Tree();
    FormatNode* root = tree.GetRootNode();
    FormatNode* node = nullptr;
    if (root->firstChild == nullptr) {
        node = tree.AddChild(nullptr, std::move(label), false);
    } else {
        // Walk past the messages whose stream and function are both no greater
        // than the new ones; each number is compared on its own.
        FormatNode* place = root->firstChild;
        while (place->nextSibling != nullptr) {
            const auto next = ReadMessageLabel(place->nextSibling->label);
            if (!next || next->stream > stream || next->function > function) {
                break;
            }
            place = place->nextSibling;
        }
        node = tree.AddSibling(place, std::move(label), false);
    }
    if (node == nullptr) {
        return;
    }
    node->isMessage = 1;
    node->description = messageDescription;
    currentNode = node;

    UnhighlightLastCreated();
    panel_.treeView->SetNodeColor(node, HIGHLIGHT_COLOR, true);
    lastCreatedNode = node;

    RepaintWindow();
    RefreshMessageCount();
}

void EditorCommands::UpdateMessage() {
    if (Tree().GetRootNode()->count == 0) {
        return;
    }
    FormatNode* message = MessageOf(currentNode);
    if (message == nullptr) {
        Show(MSG_NO_MESSAGE_SELECTED);
        return;
    }
    ReadFields();
    if (!PanelNumberInRange(streamText, MIN_STREAM, MAX_STREAM)) {
        Show(MSG_INVALID_STREAM);
        return;
    }
    if (!PanelNumberInRange(functionText, MIN_FUNCTION, MAX_FUNCTION)) {
        Show(MSG_INVALID_FUNCTION);
        return;
    }
    message->label = MakeMessageLabel(ReadPanelNumber(streamText), ReadPanelNumber(functionText),
                                      panel_.replyRequiredCheck->GetCheck() != 0);
    messageDescription = std::string(TrimSpace(messageDescription));
    message->description = messageDescription;
    panel_.treeView->NodeChanged(message);
    RepaintWindow();
    Show(MSG_UPDATED);
    modified = true;
}

void EditorCommands::DeleteMessage() {
    FormatNode* message = MessageOf(currentNode);
    if (message == nullptr) {
        Show(MSG_NO_MESSAGE_SELECTED);
        return;
    }
    // The question runs a modal loop, in which the message may be deleted from
    // elsewhere; the watched reference then becomes none.
    confirmTarget_ = message;
    const bool confirmed =
        prompts_.AskYesNo(QString::fromLatin1(CAPTION_DELETE_MESSAGE), QString::fromLatin1(MSG_ARE_YOU_SURE));
    message = confirmTarget_;
    confirmTarget_ = nullptr;
    if (!confirmed) {
        return;
    }
    // What the user typed meanwhile into the item description stays.
    ReadFields();
    if (message != nullptr) {
        Tree().DeleteNode(message, true);
    }
    currentNode = nullptr;
    RefreshMessageCount();

    ClearMessageFields();
    panel_.formatCombo->setCurrentIndex(NO_FORMAT_ROW);
    itemCountText.clear();
    panel_.notFixedCheck->SetCheck(0);
    WriteFields();
    modified = true;
}

void EditorCommands::OnFunctionChanged() {
    ReadFields();
    const std::int32_t function = ReadPanelNumber(functionText);
    panel_.replyRequiredCheck->SetCheck(function % 2 != 0 ? 1 : 0);
}

EditorCommands::DeferredCount::DeferredCount(EditorCommands& commands) : commands_(commands) {
    ++commands_.countDeferrals_;
}

EditorCommands::DeferredCount::~DeferredCount() {
    if (--commands_.countDeferrals_ == 0) {
        commands_.ShowMessageCountNow();
    }
}

void EditorCommands::ShowMessageCountNow() {
    if (countChanged_) {
        ShowMessageCount();
    }
}

void EditorCommands::RefreshMessageCount() {
    if (countDeferrals_ > 0) {
        countChanged_ = true;
        return;
    }
    ShowMessageCount();
}

void EditorCommands::ShowMessageCount() {
    countChanged_ = false;
    const std::int32_t count = Tree().GetRootNode()->count;
    panel_.messageCountLabel->setText(QString::number(count));
    panel_.updateMessageButton->setEnabled(count != 0);
    panel_.deleteMessageButton->setEnabled(count != 0);
    EnableItemPanel(count != 0);
}

void EditorCommands::EnableItemPanel(bool enable) {
    panel_.formatCombo->setEnabled(enable);
    if (enable) {
        return;
    }
    panel_.itemCountEdit->setEnabled(false);
    panel_.notFixedCheck->setEnabled(false);
    panel_.itemDescriptionEdit->setEnabled(false);
    panel_.addItemButton->setEnabled(false);
    panel_.updateItemButton->setEnabled(false);
    panel_.deleteItemButton->setEnabled(false);
}

void EditorCommands::ShowNode(FormatNode* node) {
    currentNode = node;
    if (node == nullptr) {
        return;
    }
    panel_.formatCombo->setCurrentIndex(IsItemFormat(node->format) ? node->format : NO_FORMAT_ROW);

    if (node->isMessage != 0) {
        EnableItemPanel(false);
        panel_.formatCombo->setEnabled(true);
        itemCountText.clear();
        itemDescription.clear();
        panel_.notFixedCheck->SetCheck(0);
    } else {
        panel_.addItemButton->setEnabled(true);
        panel_.updateItemButton->setEnabled(true);
        panel_.deleteItemButton->setEnabled(true);
        panel_.notFixedCheck->setEnabled(true);
        itemCountText = std::to_string(node->count);
        switch (node->format) {
        case LIST:
            panel_.itemDescriptionEdit->setEnabled(false);
            break;
        case ASCII:
            panel_.notFixedCheck->setEnabled(false);
            panel_.itemDescriptionEdit->setEnabled(true);
            break;
        case VARIANT:
            itemCountText.clear();
            panel_.notFixedCheck->SetCheck(0);
            panel_.notFixedCheck->setEnabled(false);
            panel_.itemCountEdit->setEnabled(false);
            panel_.itemDescriptionEdit->setEnabled(true);
            break;
        default:
            panel_.itemDescriptionEdit->setEnabled(true);
            break;
        }
        if (itemCountText == OPEN_COUNT_NUMBER_TEXT) {
            itemCountText = OPEN_COUNT_TEXT;
            panel_.notFixedCheck->SetCheck(1);
            panel_.itemCountEdit->setEnabled(false);
        } else {
            panel_.notFixedCheck->SetCheck(0);
            panel_.itemCountEdit->setEnabled(node->format != LIST && node->format != VARIANT);
        }
        itemDescription = node->description;
    }

    if (const FormatNode* message = MessageOf(node); message != nullptr) {
        const auto fields = ReadMessageLabel(message->label);
        streamText = fields ? std::to_string(fields->stream) : std::string();
        functionText = fields ? std::to_string(fields->function) : std::string();
        messageDescription = message->description;
        panel_.replyRequiredCheck->SetCheck(fields && fields->replyRequired ? 1 : 0);
    }
    WriteFields();
}

// ---- Notifications from the tree ----

void EditorCommands::QueueTreeNotification(int message, FormatNode* node) {
    // Held here rather than in the event queue, so that a node deleted before
    // its notification is handled is never touched.
    pending_.push_back({message, node, false});
    QMetaObject::invokeMethod(this, &EditorCommands::DeliverNextNotification, Qt::QueuedConnection);
}

void EditorCommands::DeliverNextNotification() {
    if (pending_.empty()) {
        return;
    }
    const PendingNotification next = pending_.front();
    pending_.pop_front();
    if (!next.dropped) {
        OnTreeNotification(next.message, next.node);
    }
}

void EditorCommands::OnNodesAboutToBeDeleted(const FormatNode* subtreeRoot) {
    if (subtreeRoot == nullptr) {
        return;
    }
    if (FormatTree::IsWithin(currentNode, subtreeRoot)) {
        currentNode = nullptr;
    }
    if (FormatTree::IsWithin(lastCreatedNode, subtreeRoot)) {
        lastCreatedNode = nullptr;
    }
    if (FormatTree::IsWithin(confirmTarget_, subtreeRoot)) {
        confirmTarget_ = nullptr;
    }
    for (PendingNotification& entry : pending_) {
        if (entry.node != nullptr && FormatTree::IsWithin(entry.node, subtreeRoot)) {
            entry.dropped = true;
            entry.node = nullptr;
        }
    }
}

void EditorCommands::OnTreeNotification(int message, FormatNode* node) {
    switch (message) {
    case WM_TREE_NODE_SELECTED:
        ShowNode(node);
        UnhighlightLastCreated();
        lastCreatedNode = nullptr;
        break;
    case WM_TREE_MESSAGE_DELETED:
        ReadFields();
        RefreshMessageCount();
        ClearMessageFields();
        WriteFields();
        break;
    case WM_TREE_MOVE_UP:
        currentNode = node;
        MoveUp();
        break;
    case WM_TREE_MOVE_DOWN:
        currentNode = node;
        MoveDown();
        break;
    case WM_TREE_CHANGED:
        modified = true;
        break;
    default:
        break;
    }
}

// ---- Item commands ----

void EditorCommands::OnFormatChanged() {
    ReadFields();
    const int row = SelectedFormatRow(panel_.formatCombo);
    panel_.addItemButton->setEnabled(true);
    panel_.updateItemButton->setEnabled(true);
    panel_.deleteItemButton->setEnabled(true);
    panel_.notFixedCheck->setEnabled(true);
    panel_.notFixedCheck->SetCheck(0);

    bool countEnabled = true;
    bool notFixedEnabled = true;
    bool descriptionEnabled = true;
    if (row == LIST) {
        countEnabled = false;
        itemCountText = LIST_COUNT_PRESET;
        descriptionEnabled = false;
    } else if (row == ASCII) {
        itemCountText = ASCII_COUNT_PRESET;
        notFixedEnabled = false;
    } else if (row == VARIANT) {
        countEnabled = false;
        itemCountText.clear();
        notFixedEnabled = false;
    } else if (IsItemFormat(row)) {
        itemCountText = SCALAR_COUNT_PRESET;
    } else {
        // A separator row is no format: the choice is undone.
        countEnabled = false;
        itemCountText.clear();
        notFixedEnabled = false;
        descriptionEnabled = false;
        panel_.formatCombo->setCurrentIndex(NO_FORMAT_ROW);
        panel_.addItemButton->setEnabled(false);
        panel_.updateItemButton->setEnabled(false);
        panel_.deleteItemButton->setEnabled(false);
    }
    panel_.itemCountEdit->setEnabled(countEnabled);
    panel_.notFixedCheck->setEnabled(notFixedEnabled);
    panel_.itemDescriptionEdit->setEnabled(descriptionEnabled);
    WriteFields();
}

void EditorCommands::OnNotFixedClicked() {
    ReadFields();
    if (panel_.notFixedCheck->GetCheck() != 0) {
        itemCountText = OPEN_COUNT_TEXT;
        panel_.itemCountEdit->setEnabled(false);
    } else if (SelectedFormatRow(panel_.formatCombo) == LIST) {
        itemCountText = std::to_string(FormatTree::CountListChildren(currentNode));
        panel_.itemCountEdit->setEnabled(false);
    } else {
        itemCountText = UNFIXED_COUNT_PRESET;
        panel_.itemCountEdit->setEnabled(true);
    }
    WriteFields();
}

void EditorCommands::ResetItemPanel() {
    EnableItemPanel(false);
    itemCountText.clear();
    itemDescription.clear();
    panel_.formatCombo->setEnabled(true);
    panel_.notFixedCheck->SetCheck(0);
    panel_.formatCombo->setCurrentIndex(NO_FORMAT_ROW);
    WriteFields();
}

void EditorCommands::AddItem() {
    ReadFields();
    if (currentNode == nullptr) {
        Show(MSG_NO_NODE_SELECTED);
        return;
    }
    const int format = SelectedFormatRow(panel_.formatCombo);
    if (!IsItemFormat(format)) {
        Show(MSG_NO_ITEM_SELECTED);
        return;
    }
    const bool open = panel_.notFixedCheck->GetCheck() != 0;
    if (format == LIST) {
        itemCountText = LIST_COUNT_PRESET;
        WriteFields();
    }
    if (format == ASCII && IsZeroLengthCount(itemCountText)) {
        panel_.itemCountEdit->setFocus();
        Show(MSG_ASCII_ZERO_LENGTH);
        return;
    }
    const std::int32_t count = ReadPanelNumber(itemCountText);
    std::string label = MakeItemLabel(format, count, open, itemDescription);

    FormatNode* target = currentNode;
    if (target->isMessage != 0 && target->count != 0) {
        Show(MSG_CANNOT_ADD_SUB_ITEM);
        return;
    }
    if (target->count == OPEN_COUNT && target->firstChild != nullptr) {
        Show(MSG_UNFIXED_LIST_ONE_ITEM);
        return;
    }
    FormatNode* node = Tree().AppendSubNode(target, std::move(label));
    if (node == nullptr) {
        // The tree has said why ("It is not a list item.").
        currentNode = nullptr;
        return;
    }
    node->format = format;
    node->count = open ? OPEN_COUNT : count;
    node->description = itemDescription;
    node->isList = format == LIST ? 1 : 0;
    currentNode = target;

    RepaintWindow();
    ResetItemPanel();
    modified = true;
}

void EditorCommands::UpdateItem() {
    if (currentNode == nullptr || currentNode->isMessage != 0) {
        Show(MSG_NO_ITEM_SELECTED);
        return;
    }
    FormatNode* item = currentNode;
    const int subItems = FormatTree::CountListChildren(item);
    const int format = SelectedFormatRow(panel_.formatCombo);
    if (!IsItemFormat(format)) {
        Show(MSG_NO_ITEM_IN_LIST);
        return;
    }
    if (format != LIST && subItems != 0) {
        Show(MSG_SUB_ITEM_EXISTS);
        return;
    }
    ReadFields();
    const bool open = panel_.notFixedCheck->GetCheck() != 0;
    if (format == LIST && open && subItems > 1) {
        Show(MSG_NON_FIXED_LIST_SINGLE);
        return;
    }
    if (format == ASCII && IsZeroLengthCount(itemCountText)) {
        panel_.itemCountEdit->setFocus();
        Show(MSG_ASCII_ZERO_LENGTH);
        return;
    }
    std::int32_t count = ReadPanelNumber(itemCountText);
    item->format = format;
    item->description = itemDescription;
    item->count = open ? OPEN_COUNT : count;
    if (format == LIST) {
        // A list has no description, and a fixed list counts its sub-items.
        item->description.clear();
        WriteFields();
        if (!open) {
            item->count = subItems;
            // The label states the same number the list holds, whatever the
            // count field was left showing.
            count = subItems;
        }
    }
    item->label = MakeItemLabel(format, count, open, item->description);
    item->isList = format == LIST ? 1 : 0;
    panel_.treeView->NodeChanged(item);

    RepaintWindow();
    ResetItemPanel();
    modified = true;
}

void EditorCommands::DeleteItem() {
    if (currentNode == nullptr) {
        Show(MSG_NO_ITEM_SELECTED);
        return;
    }
    if (currentNode->isMessage != 0) {
        Show(MSG_NOT_AN_ITEM);
        return;
    }
    // What the user typed meanwhile into the other fields stays.
    ReadFields();
    Tree().DeleteNode(currentNode, true);
    currentNode = nullptr;

    panel_.formatCombo->setCurrentIndex(NO_FORMAT_ROW);
    itemCountText.clear();
    panel_.notFixedCheck->SetCheck(0);
    WriteFields();
    modified = true;
}

void EditorCommands::MoveUp() {
    if (currentNode == nullptr || currentNode->parent == nullptr) {
        Show(MSG_NO_NODE_SELECTED);
        return;
    }
    FormatNode* node = currentNode;
    FormatNode* parent = node->parent;
    if (parent->firstChild == node) {
        Show(MSG_CANNOT_MOVE_UP);
        return;
    }
    FormatNode* before = FormatTree::PreviousSibling(node);
    if (before == nullptr) {
        return;
    }
    FormatNode* beforeBefore = FormatTree::PreviousSibling(before);
    if (beforeBefore != nullptr) {
        beforeBefore->nextSibling = node;
    } else {
        parent->firstChild = node;
    }
    before->nextSibling = node->nextSibling;
    node->nextSibling = before;
    panel_.treeView->NodeMoved(node);

    modified = true;
    RepaintWindow();
}

void EditorCommands::MoveDown() {
    if (currentNode == nullptr || currentNode->parent == nullptr) {
        Show(MSG_NO_NODE_SELECTED);
        return;
    }
    FormatNode* node = currentNode;
    FormatNode* after = node->nextSibling;
    if (after == nullptr) {
        Show(MSG_CANNOT_MOVE_DOWN);
        return;
    }
    FormatNode* before = FormatTree::PreviousSibling(node);
    node->nextSibling = after->nextSibling;
    after->nextSibling = node;
    if (before != nullptr) {
        before->nextSibling = after;
    } else {
        node->parent->firstChild = after;
    }
    panel_.treeView->NodeMoved(node);

    modified = true;
    RepaintWindow();
}

} // namespace tqf
