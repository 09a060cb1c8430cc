#pragma once

#include "Color.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QMenu>
#include <QSize>
#include <QStringList>

#include <optional>
#include <vector>

class QFontMetrics;
class QPainter;

namespace tqf {

// The states an entry is appended with. They combine as flags; grayed and
// disabled both mean the entry cannot be chosen and look alike.
enum MenuItemFlag : unsigned {
    MENU_ITEM_ENABLED = 0x0000,
    MENU_ITEM_GRAYED = 0x0001,
    MENU_ITEM_DISABLED = 0x0002,
    MENU_ITEM_SEPARATOR = 0x0800,
};

// A popup menu whose entries the program draws itself, in a font and five
// colours its user gives it. Every entry is as wide as the widest text and as
// high as the tallest text plus a margin; separators are thin bars. The menu
// keeps its own copy of every entry's text.
//
// The drawing is done by a proxy style that is shared by all such menus and
// lives as long as the application, so it always outlives the menus it draws.
class OwnerDrawMenu : public QMenu {
    Q_OBJECT

public:
    // Text starts this far right of an entry's left edge, selected or not.
    static constexpr int TEXT_INSET = 8;
    // Added to the height of the tallest text to give every entry's height.
    static constexpr int ITEM_HEIGHT_PADDING = 8;
    static constexpr int SEPARATOR_HEIGHT = 6;
    // The separator's bar leaves this much room at either end ...
    static constexpr int SEPARATOR_END_INSET = 4;
    // ... and this much above and below it, which leaves a bar 2 pixels high.
    static constexpr int SEPARATOR_EDGE_INSET = 2;
    // The selection frame lies this far inside the entry and is one pixel wide.
    static constexpr int SELECTION_FRAME_INSET = 2;
    static constexpr int SELECTION_FRAME_WIDTH = 1;
    // Room right of the widest text, so that it is not cut even when selected.
    static constexpr int TEXT_TRAILING_ROOM = 8;

    // How one entry is drawn.
    struct EntryState {
        bool separator = false;
        bool unavailable = false; // grayed or disabled
        bool selected = false;
    };

    explicit OwnerDrawMenu(QWidget* parent = nullptr);
    ~OwnerDrawMenu() override;

    // Appends an entry with the given flags (MenuItemFlag), command id and
    // text, and measures a non-empty text with the given metrics, which must be
    // those of the font the menu will draw with.
    OwnerDrawMenu& AppendItem(unsigned flags, int commandId, const QString& text, const QFontMetrics& metrics);
    OwnerDrawMenu& SetMenuFont(const QFont& font);
    OwnerDrawMenu& SetMenuColors(ColorRef text, ColorRef background, ColorRef disabledText, ColorRef selectionFill,
                                 ColorRef selectionFrame);

    // Shows the menu modally with its top-left corner at a screen point and
    // returns the command id of the chosen entry, or nothing when the menu was
    // dismissed. Only the left mouse button (or the keyboard) chooses.
    std::optional<int> Choose(QPoint globalPos);

    // One copy of every appended text, separators included, in append order.
    const QStringList& ItemTexts() const { return itemTexts_; }
    int MaxTextWidth() const { return maxTextWidth_; }
    int MaxItemHeight() const { return maxItemHeight_; }
    const QFont& MenuFont() const { return menuFont_; }

    int EntryCount() const { return static_cast<int>(entries_.size()); }
    unsigned EntryFlags(int index) const { return entries_.at(static_cast<std::size_t>(index)).flags; }
    int EntryCommandId(int index) const { return entries_.at(static_cast<std::size_t>(index)).commandId; }
    QAction* EntryAction(int index) const { return entries_.at(static_cast<std::size_t>(index)).action; }

    // The size of an entry as measured: the widest text's width, and the
    // separator height or the tallest text's height plus the padding.
    QSize MeasureItem(bool separator) const;
    // The size an entry takes in the shown menu: the measured size plus room
    // for the text inset and behind the text.
    QSize EntrySize(bool separator) const;

    // Draws one entry into rect. Painting the shown menu and RenderEntry both
    // come here.
    void DrawItem(QPainter& painter, const QRect& rect, EntryState state, const QString& text) const;

    // The entry at index drawn alone at its shown size into an RGB32 image of
    // device pixel ratio 1; selected asks for the look under the mouse.
    QImage RenderEntry(int index, bool selected) const;

protected:
    // Hands the entry's own copy of its text to the drawing.
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    class MenuStyle;
    static MenuStyle* SharedStyle();

    struct Entry {
        unsigned flags = MENU_ITEM_ENABLED;
        int commandId = 0;
        QAction* action = nullptr;
    };

    int IndexOf(const QAction* action) const;
    EntryState StateOf(int index, bool selected) const;

    QStringList itemTexts_;
    std::vector<Entry> entries_;
    QFont menuFont_;
    int maxTextWidth_ = 0;
    int maxItemHeight_ = 0;
    QColor menuTextColor_;
    QColor menuBackgroundColor_;
    QColor menuDisabledColor_;
    QColor menuSelectionFillColor_;
    QColor menuSelectionFrameColor_;
};

} // namespace tqf
