#include "EditorCommands.h"

#include "Decimal.h"
#include "Document.h"
#include "FormatTree.h"
#include "FormatTreeView.h"
#include "ItemFormat.h"
#include "Labels.h"
#include "PanelRules.h"
#include "Prompts.h"
#include "RulesDialog.h"
#include "SkinButton.h"
#include "SkinCheckBox.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>

#include <cstdint>
#include <utility>

namespace tqf {

namespace {

constexpr const char* LIST_COUNT_PRESET = "0";

std::string ToBytes(const QString& text) { return text.toLocal8Bit().toStdString(); }

QString FromBytes(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

int SelectedFormatRow(const QComboBox* combo) { return combo->currentIndex(); }

} // namespace

EditorCommands::EditorCommands(const EditorPanel& panel, Prompts& prompts, QObject* parent)
    : QObject(parent), currentNode(panel.treeView->Tree()), lastCreatedNode(panel.treeView->Tree()), panel_(panel),
      view_(panel.treeView), prompts_(prompts), confirmTarget_(panel.treeView->Tree()) {
    Connect();
}

EditorCommands::~EditorCommands() {
    if (view_ != nullptr) {
        view_->Doc().SetListener(nullptr);
    }
}

Document& EditorCommands::Doc() const { return panel_.treeView->Doc(); }

void EditorCommands::ModifiedChanged(bool modified) { emit DocumentModifiedChanged(modified); }

void EditorCommands::MessageCountChanged(std::int32_t count) {
    (void)count;
    RefreshMessageCount();
}

void EditorCommands::Connect() {
    const struct {
        SkinButton* button;
        void (EditorCommands::*command)();
    } buttons[] = {
        {panel_.createButton, &EditorCommands::CreateMessage},
        {panel_.updateMessageButton, &EditorCommands::UpdateMessage},
        {panel_.deleteMessageButton, &EditorCommands::DeleteMessage},
        {panel_.addItemButton, &EditorCommands::AddItem},
        {panel_.updateItemButton, &EditorCommands::UpdateItem},
        {panel_.deleteItemButton, &EditorCommands::DeleteItem},
        {panel_.moveUpButton, &EditorCommands::MoveUp},
        {panel_.moveDownButton, &EditorCommands::MoveDown},
        {panel_.notFixedCheck, &EditorCommands::OnNotFixedClicked},
    };
    for (const auto& entry : buttons) {
        if (entry.button != nullptr) {
            connect(entry.button, &QAbstractButton::clicked, this,
                    [this, command = entry.command] { (this->*command)(); });
        }
    }
    // Only the user's choice of a row counts, not the commands' own settings.
    connect(panel_.formatCombo, &QComboBox::activated, this, [this] { OnFormatChanged(); });
    // The reply flag follows what the user types; the commands' own writes of
    // the field leave the flag as they set it.
    connect(panel_.functionEdit, &QLineEdit::textEdited, this, [this] { OnFunctionChanged(); });
    if (panel_.treeView != nullptr) {
        FormatTreeView* view = panel_.treeView;
        connect(view, &FormatTreeView::NodeSelected, this,
                [this](FormatNode* node) { QueueTreeNotification(&EditorCommands::OnNodeSelected, node); });
        connect(view, &FormatTreeView::MessageDeleted, this,
                [this] { QueueTreeNotification(&EditorCommands::OnMessageDeleted, nullptr); });
        connect(view, &FormatTreeView::MoveUpRequested, this,
                [this](FormatNode* node) { QueueTreeNotification(&EditorCommands::OnMoveUpRequested, node); });
        connect(view, &FormatTreeView::MoveDownRequested, this,
                [this](FormatNode* node) { QueueTreeNotification(&EditorCommands::OnMoveDownRequested, node); });
        connect(view, &FormatTreeView::TreeChanged, this,
                [this] { QueueTreeNotification(&EditorCommands::OnTreeChanged, nullptr); });
        connect(view, &FormatTreeView::RulesRequested, this,
                [this](FormatNode* node) { QueueTreeNotification(&EditorCommands::OnRulesRequested, node); });
        connect(panel_.treeView, &FormatTreeView::NodesAboutToBeDeleted, this,
                [this](const FormatNode* subtreeRoot) { OnNodesAboutToBeDeleted(subtreeRoot); });
        Doc().SetListener(this);
    }
}

FormatTree& EditorCommands::Tree() const { return panel_.treeView->Tree(); }

void EditorCommands::Show(const char* text) { prompts_.ShowMessage(QString::fromLatin1(text)); }

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

bool EditorCommands::Refused(const EditResult& result) {
    if (result.Done()) {
        return false;
    }
    if (*result.refusal != '\0') {
        Show(result.refusal);
    }
    return true;
}

MessageFields EditorCommands::ReadMessageFields() const {
    return {streamText, functionText, panel_.replyRequiredCheck->GetCheck() != 0, messageDescription};
}

ItemFields EditorCommands::ReadItemFields() const {
    return {SelectedFormatRow(panel_.formatCombo), itemCountText, panel_.notFixedCheck->GetCheck() != 0,
            itemDescription};
}

// ---- Message commands ----

void EditorCommands::CreateMessage() {
    ReadFields();
    const EditResult result = Tree().CreateMessage(ReadMessageFields());
    if (Refused(result)) {
        // Any attempt counts as a change, also one that the checks refuse.
        Doc().RecordUnalteredChange();
        return;
    }
    FormatNode* node = result.node;
    // The trimmed text stays in the member.
    messageDescription = node->Description();
    currentNode = node;

    UnhighlightLastCreated();
    panel_.treeView->SetNodeColor(node, HIGHLIGHT_COLOR, true);
    lastCreatedNode = node;

    RepaintWindow();
    RefreshMessageCount();
    // The new message is seen where it was placed.
    panel_.treeView->ShowNodeRow(node);
}

void EditorCommands::UpdateMessage() {
    // Fields that a refusal leaves unread are read by every command before
    // it writes them, so reading them first changes nothing the user sees.
    ReadFields();
    const EditResult result = Tree().UpdateMessage(currentNode, ReadMessageFields());
    if (Refused(result)) {
        return;
    }
    messageDescription = result.node->Description();
    // An update that changes nothing leaves no step to undo, but counts as
    // a change all the same, as every update does.
    Doc().RecordUnalteredChange();
    RepaintWindow();
    Show(MSG_UPDATED);
}

void EditorCommands::DeleteMessage() {
    const EditResult target = FormatTree::MessageToDelete(currentNode);
    if (Refused(target)) {
        return;
    }
    // The question runs a modal loop, in which the message may be deleted from
    // elsewhere; the watched reference then becomes none.
    confirmTarget_ = target.node;
    // The message is named below the question, so that it is known, also to
    // a reader, which one goes.
    const FormatNode* named = target.node;
    const QString name =
        named->Description().empty()
            ? FromBytes(named->Label().str())
            : QStringLiteral("%1 (%2)").arg(FromBytes(named->Label().str()), FromBytes(named->Description().str()));
    const bool confirmed = prompts_.AskYesNoDefaultNoAbout(QString::fromLatin1(CAPTION_DELETE_MESSAGE),
                                                           QString::fromLatin1(MSG_ARE_YOU_SURE), name);
    FormatNode* message = confirmTarget_;
    confirmTarget_ = nullptr;
    if (!confirmed) {
        return;
    }
    // What the user typed meanwhile into the item description stays.
    ReadFields();
    if (message != nullptr) {
        (void)Tree().DeleteMessage(message);
        panel_.treeView->Redraw();
    }
    currentNode = nullptr;
    RefreshMessageCount();
    EmptyPanels();
}

void EditorCommands::EmptyPanels() {
    ClearMessageFields();
    itemCountText.clear();
    panel_.notFixedCheck->SetCheck(0);
    panel_.formatCombo->setCurrentIndex(NO_FORMAT_ROW);
    WriteFields();
}

void EditorCommands::OnFunctionChanged() {
    ReadFields();
    panel_.replyRequiredCheck->SetCheck(ReplyRequiredFor(ReadPanelNumber(functionText)) ? 1 : 0);
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
    const std::int32_t count = Tree().GetRootNode()->Count();
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
    panel_.formatCombo->setCurrentIndex(IsItemFormat(node->Format()) ? node->Format() : NO_FORMAT_ROW);

    if (node->IsMessage()) {
        EnableItemPanel(false);
        panel_.formatCombo->setEnabled(true);
        itemCountText.clear();
        itemDescription.clear();
        panel_.notFixedCheck->SetCheck(0);
    } else {
        panel_.addItemButton->setEnabled(true);
        panel_.updateItemButton->setEnabled(true);
        panel_.deleteItemButton->setEnabled(true);
        ApplyItemFields(ShowItemFields(node->Format(), node->Count()));
        itemDescription = node->Description();
    }

    if (const FormatNode* message = FormatTree::MessageOf(node); message != nullptr) {
        const auto fields = ReadMessageLabel(message->Label());
        streamText = fields ? std::to_string(fields->stream) : std::string();
        functionText = fields ? std::to_string(fields->function) : std::string();
        messageDescription = message->Description();
        panel_.replyRequiredCheck->SetCheck(fields && fields->replyRequired ? 1 : 0);
    }
    WriteFields();
}

// ---- Notifications from the tree ----

void EditorCommands::QueueTreeNotification(void (EditorCommands::*handler)(FormatNode*), FormatNode* node) {
    // Held here rather than in the event queue, so that a node deleted before
    // its notification is handled is never touched.
    pending_.push_back({handler, NodeRef(Tree(), node), node != nullptr});
    QMetaObject::invokeMethod(this, &EditorCommands::DeliverNextNotification, Qt::QueuedConnection);
}

void EditorCommands::DeliverNextNotification() {
    if (pending_.empty()) {
        return;
    }
    const PendingNotification next = std::move(pending_.front());
    pending_.pop_front();
    if (!next.Dropped()) {
        (this->*next.handler)(next.node);
    }
}

void EditorCommands::OnNodesAboutToBeDeleted(const FormatNode* subtreeRoot) {
    if (subtreeRoot == nullptr) {
        return;
    }
    if (FormatTree::IsWithin(lastCreatedNode, subtreeRoot)) {
        // A message taken out may come back by an undo, not highlighted.
        UnhighlightLastCreated();
    }
}

void EditorCommands::OnNodeSelected(FormatNode* node) {
    ShowNode(node);
    UnhighlightLastCreated();
    lastCreatedNode = nullptr;
}

void EditorCommands::OnMessageDeleted(FormatNode*) {
    ReadFields();
    RefreshMessageCount();
    ClearMessageFields();
    WriteFields();
}

void EditorCommands::OnMoveUpRequested(FormatNode* node) {
    currentNode = node;
    MoveUp();
}

void EditorCommands::OnMoveDownRequested(FormatNode* node) {
    currentNode = node;
    MoveDown();
}

void EditorCommands::OnTreeChanged(FormatNode*) { Doc().RecordUnalteredChange(); }

void EditorCommands::OnRulesRequested(FormatNode* node) {
    RulesDialog::RunForNode(Tree(), node, prompts_, panel_.treeView->window());
}

// ---- Item commands ----

void EditorCommands::OnFormatChanged() {
    ReadFields();
    const FormatChoice choice = ChooseFormatRow(ItemPanelKind::MAIN_PANEL, SelectedFormatRow(panel_.formatCombo));
    if (!choice.isFormat) {
        panel_.formatCombo->setCurrentIndex(NO_FORMAT_ROW);
    }
    panel_.addItemButton->setEnabled(choice.isFormat);
    panel_.updateItemButton->setEnabled(choice.isFormat);
    panel_.deleteItemButton->setEnabled(choice.isFormat);
    ApplyItemFields(choice.fields);
    WriteFields();
}

void EditorCommands::OnNotFixedClicked() {
    ReadFields();
    const int row = SelectedFormatRow(panel_.formatCombo);
    const ItemFieldsState fields = ClickNotFixed(panel_.notFixedCheck->GetCheck() != 0, row,
                                                 row == LIST ? FormatTree::CountListChildren(currentNode) : 0);
    itemCountText = fields.countText;
    panel_.itemCountEdit->setEnabled(fields.countEnabled);
    WriteFields();
}

void EditorCommands::ApplyItemFields(const ItemFieldsState& fields) {
    itemCountText = fields.countText;
    panel_.notFixedCheck->SetCheck(fields.notFixed ? 1 : 0);
    panel_.itemCountEdit->setEnabled(fields.countEnabled);
    panel_.notFixedCheck->setEnabled(fields.notFixedEnabled);
    panel_.itemDescriptionEdit->setEnabled(fields.descriptionEnabled);
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
    const EditResult result = Tree().AddItem(currentNode, ReadItemFields());
    if (result.listCountPreset) {
        itemCountText = LIST_COUNT_PRESET;
        WriteFields();
    }
    if (result.focusCount) {
        panel_.itemCountEdit->setFocus();
    }
    if (result.dropsCurrent) {
        currentNode = nullptr;
    }
    if (Refused(result)) {
        return;
    }
    // A further "Add" adds the next sub-item under the same node.
    RepaintWindow();
    ResetItemPanel();
}

void EditorCommands::UpdateItem() {
    // Reading the fields first changes nothing the user sees; see
    // UpdateMessage.
    ReadFields();
    const int format = SelectedFormatRow(panel_.formatCombo);
    const EditResult result = Tree().UpdateItem(currentNode, ReadItemFields());
    if (result.focusCount) {
        panel_.itemCountEdit->setFocus();
    }
    if (Refused(result)) {
        return;
    }
    if (format == LIST) {
        WriteFields();
    }
    // As an update of a message: a change even when nothing differs.
    Doc().RecordUnalteredChange();
    RepaintWindow();
    ResetItemPanel();
}

void EditorCommands::DeleteItem() {
    const EditResult result = Tree().DeleteItem(currentNode);
    if (Refused(result)) {
        return;
    }
    panel_.treeView->Redraw();
    currentNode = nullptr;
    // What the user typed meanwhile into the other fields stays.
    ReadFields();
    panel_.formatCombo->setCurrentIndex(NO_FORMAT_ROW);
    itemCountText.clear();
    panel_.notFixedCheck->SetCheck(0);
    WriteFields();
}

void EditorCommands::MoveUp() {
    if (Refused(Tree().MoveUp(currentNode))) {
        return;
    }
    RepaintWindow();
}

void EditorCommands::MoveDown() {
    if (Refused(Tree().MoveDown(currentNode))) {
        return;
    }
    RepaintWindow();
}

// ---- History ----

void EditorCommands::Undo() {
    if (const std::optional<FormatNode*> node = Doc().Undo()) {
        ShowHistoryStep(*node);
    }
}

void EditorCommands::Redo() {
    if (const std::optional<FormatNode*> node = Doc().Redo()) {
        ShowHistoryStep(*node);
    }
}

void EditorCommands::ShowHistoryStep(FormatNode* node) {
    RefreshMessageCount();
    if (node != nullptr) {
        panel_.treeView->ChooseNode(node);
    }
    RepaintWindow();
}

} // namespace tqf
