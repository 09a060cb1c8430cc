#pragma once

#include "EditRules.h"
#include "EditorPanel.h"

#include <QObject>
#include <QString>

#include <deque>
#include <string>

namespace tqf {

class FormatNode;
class FormatTree;
class Prompts;

// The texts of the main window's reports; the refusals are those of the
// document's editing operations (EditRules.h).
inline constexpr const char* MSG_UPDATED = "Updated Successfully";
inline constexpr const char* CAPTION_DELETE_MESSAGE = "Delete Message";
inline constexpr const char* MSG_ARE_YOU_SURE = "Are you sure ?";

// The main window's message and item commands and its handling of the tree's
// notifications. The commands read the panel fields and hand them to one of
// the document's editing operations, which checks the rules; they show its
// refusal in a message box, or set the panel as the change requires.
class EditorCommands : public QObject {
    Q_OBJECT

public:
    // Connects the panel's buttons, check boxes, format list, function field
    // and tree view to the commands.
    EditorCommands(const EditorPanel& panel, Prompts& prompts, QObject* parent = nullptr);
    ~EditorCommands() override;

    // Runs the command of a control id, as a click on that control does.
    void OnCommand(int controlId);

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
    // The history starts anew from the document as it is (New, Open).
    void StartHistory();
    // The document as it is now is the one in the file (Save, Open).
    void MarkSaved();

    // Handles one of the tree's notifications at once. The view's signal is
    // queued first and arrives here after the view's own event has ended.
    void OnTreeNotification(int message, FormatNode* node);

    // Copies the five edit fields into the text members, and back.
    void ReadFields();
    void WriteFields();

    const EditorPanel& Panel() const { return panel_; }

    // The node the panels show and the commands act on; none when its node is
    // deleted.
    FormatNode* currentNode = nullptr;
    // The message created last, drawn in the highlight colour until the next
    // selection in the tree.
    FormatNode* lastCreatedNode = nullptr;

    // The panel texts, in the system's 8-bit encoding.
    std::string streamText;
    std::string functionText;
    std::string messageDescription;
    std::string itemCountText;
    std::string itemDescription;

    // The path of the open format file.
    std::string filePath;
    // The document has changes that are not saved.
    bool modified = false;

private:
    struct PendingNotification {
        int message = 0;
        FormatNode* node = nullptr;
        bool dropped = false; // its node was deleted before it was handled
    };

    void Connect();
    void QueueTreeNotification(int message, FormatNode* node);
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
    // The item panel's idle state after Add and Update.
    void ResetItemPanel();
    void RepaintWindow();
    void UnhighlightLastCreated();
    // The message count and the enabled states that follow it, shown now.
    void ShowMessageCount();
    void ClearMessageFields();

    EditorPanel panel_;
    Prompts& prompts_;
    // The message a pending delete question is about.
    FormatNode* confirmTarget_ = nullptr;
    std::deque<PendingNotification> pending_;
    int countDeferrals_ = 0;
    bool countChanged_ = false;
};

} // namespace tqf
