#include "RulesDialog.h"

#include "DialogFont.h"
#include "DialogUnits.h"
#include "FormatTree.h"
#include "PlainTextField.h"
#include "Prompts.h"
#include "RuleEditText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <string>

namespace tqf {

namespace {

constexpr int NODE_WIDTH_DU = 260;
constexpr int DICTIONARY_WIDTH_DU = 300;
constexpr int DICTIONARY_HEIGHT_DU = 200;

QString FromBytes(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToBytes(const QString& text) { return text.toLocal8Bit().toStdString(); }

} // namespace

RulesDialog::RulesDialog(FormatTree& tree, FormatNode* node, Prompts& prompts, QWidget* parent)
    : QDialog(parent), tree_(tree), node_(node), prompts_(prompts) {
    setObjectName(node != nullptr ? QStringLiteral("rulesDialog") : QStringLiteral("dictionaryDialog"));
    setFont(DialogFont::MainFont());
    auto* layout = new QVBoxLayout(this);
    auto* help = new QLabel(this);
    help->setObjectName(QStringLiteral("rulesHelp"));
    help->setWordWrap(true);
    if (node != nullptr) {
        setWindowTitle(QStringLiteral("Rules"));
        help->setText(node->IsMessage() ? QStringLiteral("Rules of the message, for example:\n"
                                                         "reply optional; direction H->E\nEmpty: no rules.")
                                        : QStringLiteral("Rules of the item, for example:\n"
                                                         "formats U4 A; count ..32; values 0 1 3..63; optional\n"
                                                         "Empty: no rules."));
        // An item without rules of its own follows its name's dictionary
        // entry: the user sees what holds before giving it rules that win.
        const NodeRules* own = tree.Rules().Of(node);
        if (const NodeRules* named = tree.Rules().EffectiveFor(node);
            named != nullptr && (own == nullptr || !own->Constrains())) {
            help->setText(help->text() + QStringLiteral("\nNow the dictionary's rules for %1 hold: %2")
                                             .arg(FromBytes(std::string(node->Description())),
                                                  FromBytes(RuleEditText::OfNode(named))));
        }
        line_ = new QLineEdit(FromBytes(RuleEditText::OfNode(tree.Rules().Of(node))), this);
        line_->setObjectName(QStringLiteral("rulesEdit"));
        layout->addWidget(help);
        layout->addWidget(line_);
        resize(TAHOMA_9_UNITS.X(NODE_WIDTH_DU), sizeHint().height());
    } else {
        setWindowTitle(QStringLiteral("Data Item Dictionary"));
        help->setText(QStringLiteral("One entry a line, for example:\ndictionary CEID: formats U4 U1 U2 U8 A"));
        lines_ = new PlainTextField(FromBytes(RuleEditText::OfDictionary(tree.Rules().Entries())), this);
        lines_->setObjectName(QStringLiteral("dictionaryEdit"));
        lines_->setLineWrapMode(QPlainTextEdit::NoWrap);
        layout->addWidget(help);
        layout->addWidget(lines_);
        resize(TAHOMA_9_UNITS.Size(DICTIONARY_WIDTH_DU, DICTIONARY_HEIGHT_DU));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("rulesButtons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &RulesDialog::Apply);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void RulesDialog::Refuse(const QString& reason) {
    prompts_.ShowMessage(QStringLiteral("Cannot read the rules: %1.").arg(reason), windowTitle(), PromptIcon::Warning);
}

void RulesDialog::Apply() {
    EditResult result = EditResult::Refused("");
    if (node_ != nullptr) {
        RuleEditText::NodeResult read = RuleEditText::ReadNode(ToBytes(line_->text()), tree_.Rules().Of(node_));
        if (!read.read) {
            Refuse(FromBytes(read.reason));
            return;
        }
        result = tree_.SetRules(node_, std::move(read.rules));
    } else {
        RuleEditText::DictionaryResult read =
            RuleEditText::ReadDictionary(ToBytes(lines_->toPlainText()), tree_.Rules().Entries());
        if (!read.read) {
            Refuse(FromBytes(read.reason));
            return;
        }
        result = tree_.SetDictionary(std::move(read.dictionary));
    }
    if (!result.Done()) {
        if (*result.refusal != '\0') {
            prompts_.ShowMessage(QString::fromLatin1(result.refusal), windowTitle(), PromptIcon::Warning);
        }
        return;
    }
    accept();
}

void RulesDialog::RunForNode(FormatTree& tree, FormatNode* node, Prompts& prompts, QWidget* parent) {
    if (node == nullptr || node->Parent() == nullptr) {
        return;
    }
    RulesDialog dialog(tree, node, prompts, parent);
    dialog.exec();
}

void RulesDialog::RunForDictionary(FormatTree& tree, Prompts& prompts, QWidget* parent) {
    RulesDialog dialog(tree, nullptr, prompts, parent);
    dialog.exec();
}

} // namespace tqf
