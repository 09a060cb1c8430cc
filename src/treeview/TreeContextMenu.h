#pragma once

#include "Color.h"
#include "OwnerDrawMenu.h"

#include <QFont>
#include <QPoint>
#include <QString>

#include <memory>
#include <optional>
#include <string_view>

namespace tqf {

class FormatNode;

// The popup menu of the tree view: a title with the selected node's label,
// the node commands and the colour commands. It is built anew for every right
// click and chooses a command; the view runs that command itself.
class TreeContextMenu {
public:
    // A longer label is cut to this many characters and followed by "...".
    static constexpr int TITLE_MAX_CHARACTERS = 45;

    // The menu's colours, in the order SetMenuColors takes them.
    static constexpr ColorRef TEXT_COLOR = Rgb(70, 36, 36);
    static constexpr ColorRef BACKGROUND_COLOR = Rgb(253, 249, 249);
    static constexpr ColorRef DISABLED_TEXT_COLOR = Rgb(172, 96, 96);
    static constexpr ColorRef SELECTION_FILL_COLOR = Rgb(244, 234, 234);
    static constexpr ColorRef SELECTION_FRAME_COLOR = Rgb(182, 109, 109);

    // Builds the menu for the selected node (or none), drawn in font, and
    // shows it modally over parent with its top-left corner at globalPos.
    // Returns the id of the chosen command (TreeCommand), or nothing when the
    // menu was dismissed.
    static std::optional<int> Exec(const FormatNode* selected, const QFont& font, QWidget* parent, QPoint globalPos);

    // The menu for a selected node (or none), drawn and measured in font,
    // without showing it.
    static std::unique_ptr<OwnerDrawMenu> Build(const FormatNode* selected, const QFont& font,
                                                QWidget* parent = nullptr);

    // The title entry's text for a label that holds UTF-8: the label itself,
    // or its first TITLE_MAX_CHARACTERS characters followed by "...". A
    // character is one code point, so no multi-byte sequence is split.
    static QString TitleText(std::string_view label);
};

} // namespace tqf
