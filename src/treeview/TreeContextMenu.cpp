#include "TreeContextMenu.h"

#include "FormatNode.h"
#include "TreeCommands.h"

#include <QFontMetrics>

namespace tqf {

namespace {

const char* const TITLE_ELLIPSIS = "...";

// The index in a QString just after the first maxCharacters code points, or
// the string's length when it holds no more. A surrogate pair is one code
// point and is never split.
qsizetype CodePointPrefixLength(const QString& text, int maxCharacters) {
    qsizetype pos = 0;
    for (int counted = 0; counted < maxCharacters && pos < text.size(); ++counted) {
        const bool pair = text.at(pos).isHighSurrogate() && pos + 1 < text.size() && text.at(pos + 1).isLowSurrogate();
        pos += pair ? 2 : 1;
    }
    return pos;
}

} // namespace

QString TreeContextMenu::TitleText(std::string_view label) {
    const QString text = QString::fromLocal8Bit(label.data(), static_cast<qsizetype>(label.size()));
    const qsizetype cut = CodePointPrefixLength(text, TITLE_MAX_CHARACTERS);
    if (cut >= text.size()) {
        return text;
    }
    return text.left(cut) + QLatin1String(TITLE_ELLIPSIS);
}

std::unique_ptr<OwnerDrawMenu> TreeContextMenu::Build(const FormatNode* selected, const QFont& font, QWidget* parent) {
    auto menu = std::make_unique<OwnerDrawMenu>(parent);
    menu->SetMenuFont(font).SetMenuColors(TEXT_COLOR, BACKGROUND_COLOR, DISABLED_TEXT_COLOR, SELECTION_FILL_COLOR,
                                          SELECTION_FRAME_COLOR);
    const QFontMetrics metrics(font);

    // Only lists and messages take sub-items; with no node selected the add
    // commands stay available and report that nothing is selected.
    const bool canAdd = selected == nullptr || selected->IsList() || selected->IsMessage();
    const unsigned addFlags = canAdd ? MENU_ITEM_ENABLED : MENU_ITEM_GRAYED;
    const unsigned nodeFlags = selected != nullptr ? MENU_ITEM_ENABLED : MENU_ITEM_GRAYED;

    if (selected != nullptr) {
        menu->AppendItem(MENU_ITEM_DISABLED, ID_TREE_MENU_TITLE, TitleText(selected->Label()), metrics)
            .AppendItem(MENU_ITEM_SEPARATOR, 0, QString(), metrics);
    }
    menu->AppendItem(addFlags, ID_TREE_ADD_LIST_ITEM, QStringLiteral("Add List Item"), metrics)
        .AppendItem(addFlags, ID_TREE_ADD_SUB_ITEM, QStringLiteral("Add Sub Item"), metrics)
        .AppendItem(nodeFlags, ID_TREE_DELETE_NODE, QStringLiteral("Delete Node"), metrics)
        .AppendItem(MENU_ITEM_SEPARATOR, 0, QString(), metrics)
        .AppendItem(nodeFlags, ID_TREE_MOVE_UP, QStringLiteral("Move Up"), metrics)
        .AppendItem(nodeFlags, ID_TREE_MOVE_DOWN, QStringLiteral("Move Down"), metrics)
        .AppendItem(MENU_ITEM_SEPARATOR, 0, QString(), metrics)
        .AppendItem(nodeFlags, ID_TREE_RULES, QStringLiteral("Rules..."), metrics)
        .AppendItem(MENU_ITEM_SEPARATOR, 0, QString(), metrics)
        .AppendItem(MENU_ITEM_ENABLED, ID_TREE_SET_LINE_COLOR, QStringLiteral("Set Line Color"), metrics)
        .AppendItem(MENU_ITEM_ENABLED, ID_TREE_SET_TEXT_COLOR, QStringLiteral("Set Text Color"), metrics)
        .AppendItem(MENU_ITEM_ENABLED, ID_TREE_SET_BACKGROUND_COLOR, QStringLiteral("Set Background Color"), metrics);
    return menu;
}

std::optional<int> TreeContextMenu::Exec(const FormatNode* selected, const QFont& font, QWidget* parent,
                                         QPoint globalPos) {
    const std::unique_ptr<OwnerDrawMenu> menu = Build(selected, font, parent);
    return menu->Choose(globalPos);
}

} // namespace tqf
