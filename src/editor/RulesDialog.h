#pragma once

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;

namespace tqf {

class FormatNode;
class FormatTree;
class Prompts;

inline constexpr const char* RULES_MENU_TEXT = "Rules...";
inline constexpr const char* DICTIONARY_MENU_TEXT = "Data Item Dictionary...";

// Shows the rules of a message or an item, or the data item dictionary, as
// the text a file keeps them in, and gives the tree what OK finds in it, as
// one step. A text that cannot be read is reported and the dialog stays.
class RulesDialog : public QDialog {
    Q_OBJECT

public:
    // For node's rules; with node none, for the dictionary.
    RulesDialog(FormatTree& tree, FormatNode* node, Prompts& prompts, QWidget* parent = nullptr);

    // Runs the dialog; nothing when node is none.
    static void RunForNode(FormatTree& tree, FormatNode* node, Prompts& prompts, QWidget* parent);
    static void RunForDictionary(FormatTree& tree, Prompts& prompts, QWidget* parent);

private:
    void Apply();
    void Refuse(const QString& reason);

    FormatTree& tree_;
    FormatNode* node_;
    Prompts& prompts_;
    QLineEdit* line_ = nullptr;
    QPlainTextEdit* lines_ = nullptr;
};

} // namespace tqf
