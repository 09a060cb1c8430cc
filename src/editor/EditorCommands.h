#pragma once

#include "DocumentListener.h"
#include "EditRules.h"
#include "EditorPanel.h"
#include "NodeRef.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <deque>
#include <string>

namespace tqf {

class Document;
class FormatNode;
class FormatTree;
class FormatTreeView;
class Prompts;
struct ItemFieldsState;

// The texts of the main window's reports; the refusals are those of the
// document's editing operations (EditRules.h).
inline constexpr const char* MSG_UPDATED = "Updated Successfully";
inline constexpr const char* CAPTION_DELETE_MESSAGE = "Delete Message";
inline constexpr const char* MSG_ARE_YOU_SURE = "Are you sure ?";

// The main window's message and item commands and its handling of the tree's
// notifications. The commands read the panel fields and hand them to one of
// the document's editing operations, which checks the rules; they show its
// refusal in a message box, or set the panel as the change requires. The
// message count and the window's modified mark follow the document's own
// reports.
class EditorCommands : public QObject, private DocumentListener {
    Q_OBJECT

public:
    // Connects the panel's buttons, check boxes, format list, function field
    // and tree view to the commands.
    EditorCommands(const EditorPanel& panel, Prompts& prompts, QObject* parent = nullptr);
    ~EditorCommands() override;

    // Message commands.
    void CreateMessage();
    void UpdateMessage();
    void DeleteMessage();
    void OnFunctionChanged();
    void ShowNode(FormatNode* node);
    void RefreshMessageCount();
    void EnableItemPanel(bool enable);

    // While one of these lives, RefreshMessageCount only notes that the
    // count changed; the panel shows it when the last one ends, or at
    // ShowMessageCountNow. Commands that add or delete thousands of messages
    // without letting the window repaint in between use it: the window
    // looks the same afterwards, without a panel update per message.
    class DeferredCount {
    public:
        explicit DeferredCount(EditorCommands& commands);
        DeferredCount(const DeferredCount&) = delete;
        DeferredCount& operator=(const DeferredCount&) = delete;
        ~DeferredCount();

    private:
        EditorCommands& commands_;
    };

    // Shows a count held back by a DeferredCount, before the window repaints.
    void ShowMessageCountNow();

    // Item commands.
    void OnFormatChanged();
    void OnNotFixedClicked();
    void AddItem();
    void UpdateItem();
    void DeleteItem();
    void MoveUp();
    void MoveDown();

    // Takes back the last change of the document, or makes again the last
    // one taken back; the node it concerns is then chosen as in the tree.
    void Undo();
    void Redo();

    // Handle the tree's notifications at once. The view's signals are queued
    // first and arrive here after the view's own event has ended. Those
    // without a node take none.
    void OnNodeSelected(FormatNode* node);
    void OnMessageDeleted(FormatNode* = nullptr);
    void OnMoveUpRequested(FormatNode* node);
    void OnMoveDownRequested(FormatNode* node);
    void OnTreeChanged(FormatNode* = nullptr);
    // The tree's menu asks for the rules of node.
    void OnRulesRequested(FormatNode* node);

    // The panels as an emptied document leaves them: every field empty but
    // the item description, nothing ticked, no format chosen. Callers read
    // the fields first, so that what was typed into that one stays.
    void EmptyPanels();

    // Copies the five edit fields into the text members, and back.
    void ReadFields();
    void WriteFields();

signals:
    // The document has come to differ from its file, or to equal it again.
    void DocumentModifiedChanged(bool modified);

public:
    // The document the window edits.
    Document& Doc() const;

    // The node the panels show and the commands act on; none once its node
    // leaves the document.
    FormatNode* CurrentNode() const { return currentNode; }
    // The message created last, drawn in the highlight colour until the next
    // selection in the tree.
    FormatNode* LastCreatedNode() const { return lastCreatedNode; }
    // The commands act on no node until one is chosen (the document is about
    // to be replaced).
    void DropCurrentNode() { currentNode = nullptr; }

private:
    struct PendingNotification {
        void (EditorCommands::*handler)(FormatNode*) = nullptr;
        NodeRef node;
        bool hadNode = false;
        // Its node left the document before it was handled.
        bool Dropped() const { return hadNode && node == nullptr; }
    };

    void Connect();
    void ModifiedChanged(bool modified) override;
    void MessageCountChanged(std::int32_t count) override;
    void QueueTreeNotification(void (EditorCommands::*handler)(FormatNode*), FormatNode* node);
    void DeliverNextNotification();
    void OnNodesAboutToBeDeleted(const FormatNode* subtreeRoot);

    FormatTree& Tree() const;
    void Show(const char* text);
    // Shows the refusal of an editing operation; true when it was refused.
    bool Refused(const EditResult& result);
    MessageFields ReadMessageFields() const;
    ItemFields ReadItemFields() const;
    // Chooses the node an undo or redo concerns, as a click in the tree does.
    void ShowHistoryStep(FormatNode* node);
    // Shows what the panel rules decided for the fields beside the format
    // list; the text only in the member, for WriteFields.
    void ApplyItemFields(const ItemFieldsState& fields);
    // The item panel's idle state after Add and Update.
    void ResetItemPanel();
    void RepaintWindow();
    void UnhighlightLastCreated();
    // The message count and the enabled states that follow it, shown now.
    void ShowMessageCount();
    void ClearMessageFields();

    NodeRef currentNode;
    NodeRef lastCreatedNode;

    // The panel texts, in the system's 8-bit encoding.
    std::string streamText;
    std::string functionText;
    std::string messageDescription;
    std::string itemCountText;
    std::string itemDescription;

    EditorPanel panel_;
    // The view may go before the commands when the window is destroyed.
    QPointer<FormatTreeView> view_;
    Prompts& prompts_;
    // The message a pending delete question is about.
    NodeRef confirmTarget_;
    std::deque<PendingNotification> pending_;
    int countDeferrals_ = 0;
    bool countChanged_ = false;
};

} // namespace tqf
