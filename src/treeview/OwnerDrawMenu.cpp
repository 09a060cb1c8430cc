#include "OwnerDrawMenu.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include <algorithm>

namespace tqf {

namespace {

QColor ToQColor(ColorRef color) { return QColor(RedOf(color), GreenOf(color), BlueOf(color)); }

// The text a QAction carries for keyboard lookup and accessibility. The menu
// draws its own copy of the text, so an ampersand must not turn into a
// mnemonic here and a tab must not open a shortcut column.
QString ActionText(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    escaped.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return escaped;
}

// Draws a frame one pixel wide along the inside of rect.
void DrawFrame(QPainter& painter, const QRect& rect, const QColor& color) {
    if (rect.isEmpty()) {
        return;
    }
    constexpr int width = OwnerDrawMenu::SELECTION_FRAME_WIDTH;
    painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), width), color);
    painter.fillRect(QRect(rect.left(), rect.bottom() - width + 1, rect.width(), width), color);
    painter.fillRect(QRect(rect.left(), rect.top(), width, rect.height()), color);
    painter.fillRect(QRect(rect.right() - width + 1, rect.top(), width, rect.height()), color);
}

} // namespace

// Routes the menu's painting and sizing to the OwnerDrawMenu it is set on, as
// the owner of a platform menu passes its draw and measure requests on. Other
// widgets get the base style's look.
class OwnerDrawMenu::MenuStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* menu = qobject_cast<const OwnerDrawMenu*>(widget);
        if (menu != nullptr && element == CE_MenuItem) {
            if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
                EntryState state;
                state.separator = item->menuItemType == QStyleOptionMenuItem::Separator;
                state.unavailable = !(item->state & State_Enabled);
                state.selected = (item->state & State_Selected) != 0;
                menu->DrawItem(*painter, item->rect, state, item->text);
                return;
            }
        }
        if (menu != nullptr && element == CE_MenuEmptyArea) {
            painter->fillRect(option->rect, menu->menuBackgroundColor_);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        const auto* menu = qobject_cast<const OwnerDrawMenu*>(widget);
        if (menu != nullptr && element == PE_PanelMenu) {
            painter->fillRect(option->rect, menu->menuBackgroundColor_);
            return;
        }
        if (menu != nullptr && element == PE_FrameMenu) {
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        const auto* menu = qobject_cast<const OwnerDrawMenu*>(widget);
        if (menu != nullptr && type == CT_MenuItem) {
            const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
            const bool separator = item != nullptr && item->menuItemType == QStyleOptionMenuItem::Separator;
            return menu->EntrySize(separator);
        }
        if (menu != nullptr && type == CT_Menu) {
            return size;
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (qobject_cast<const OwnerDrawMenu*>(widget) != nullptr) {
            switch (metric) {
            case PM_MenuHMargin:
            case PM_MenuVMargin:
            case PM_MenuPanelWidth:
                return 0;
            default:
                break;
            }
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

OwnerDrawMenu::MenuStyle* OwnerDrawMenu::SharedStyle() {
    // Owned by the application object, so it lives longer than any menu.
    static QPointer<MenuStyle> style;
    if (style.isNull()) {
        style = new MenuStyle();
        style->setParent(QCoreApplication::instance());
    }
    return style.data();
}

OwnerDrawMenu::OwnerDrawMenu(QWidget* parent) : QMenu(parent) {
    setStyle(SharedStyle());
    // Every separator is an entry of its own, also at the top or next to another.
    setSeparatorsCollapsible(false);
}

OwnerDrawMenu::~OwnerDrawMenu() = default;

OwnerDrawMenu& OwnerDrawMenu::AppendItem(unsigned flags, int commandId, const QString& text,
                                         const QFontMetrics& metrics) {
    itemTexts_.append(text);
    QAction* action = (flags & MENU_ITEM_SEPARATOR) != 0 ? addSeparator() : addAction(ActionText(text));
    action->setData(commandId);
    action->setEnabled((flags & (MENU_ITEM_GRAYED | MENU_ITEM_DISABLED)) == 0);
    entries_.push_back(Entry{flags, commandId, action});

    if (!text.isEmpty()) {
        maxTextWidth_ = std::max(maxTextWidth_, metrics.horizontalAdvance(text));
        maxItemHeight_ = std::max(maxItemHeight_, metrics.height() + ITEM_HEIGHT_PADDING);
    }
    return *this;
}

OwnerDrawMenu& OwnerDrawMenu::SetMenuFont(const QFont& font) {
    menuFont_ = font;
    return *this;
}

OwnerDrawMenu& OwnerDrawMenu::SetMenuColors(ColorRef text, ColorRef background, ColorRef disabledText,
                                            ColorRef selectionFill, ColorRef selectionFrame) {
    menuTextColor_ = ToQColor(text);
    menuBackgroundColor_ = ToQColor(background);
    menuDisabledColor_ = ToQColor(disabledText);
    menuSelectionFillColor_ = ToQColor(selectionFill);
    menuSelectionFrameColor_ = ToQColor(selectionFrame);
    return *this;
}

std::optional<int> OwnerDrawMenu::Choose(QPoint globalPos) {
    const int index = IndexOf(exec(globalPos));
    if (index < 0) {
        return std::nullopt;
    }
    return EntryCommandId(index);
}

QSize OwnerDrawMenu::MeasureItem(bool separator) const {
    return QSize(maxTextWidth_, separator ? SEPARATOR_HEIGHT : maxItemHeight_);
}

QSize OwnerDrawMenu::EntrySize(bool separator) const {
    return MeasureItem(separator) + QSize(TEXT_INSET + TEXT_TRAILING_ROOM, 0);
}

void OwnerDrawMenu::DrawItem(QPainter& painter, const QRect& rect, EntryState state, const QString& text) const {
    painter.save();
    painter.fillRect(rect, menuBackgroundColor_);

    if (state.separator) {
        painter.fillRect(
            rect.adjusted(SEPARATOR_END_INSET, SEPARATOR_EDGE_INSET, -SEPARATOR_END_INSET, -SEPARATOR_EDGE_INSET),
            menuSelectionFrameColor_);
        painter.restore();
        return;
    }

    QRect textRect = rect.adjusted(TEXT_INSET, 0, 0, 0);
    QColor textColor = menuTextColor_;
    if (state.unavailable) {
        // An entry that cannot be chosen never shows the selection, even under
        // the mouse.
        textColor = menuDisabledColor_;
    } else if (state.selected) {
        const QRect frame =
            rect.adjusted(SELECTION_FRAME_INSET, SELECTION_FRAME_INSET, -SELECTION_FRAME_INSET, -SELECTION_FRAME_INSET);
        DrawFrame(painter, frame, menuSelectionFrameColor_);
        const QRect fill = frame.adjusted(SELECTION_FRAME_WIDTH, SELECTION_FRAME_WIDTH, -SELECTION_FRAME_WIDTH,
                                          -SELECTION_FRAME_WIDTH);
        painter.fillRect(fill, menuSelectionFillColor_);
        // The text keeps its unselected place: the same left edge and centred
        // over the entry's full height.
        const int frameAndFill = SELECTION_FRAME_INSET + SELECTION_FRAME_WIDTH;
        textRect = fill.adjusted(TEXT_INSET - frameAndFill, -frameAndFill, 0, frameAndFill);
    }

    painter.setFont(menuFont_);
    painter.setPen(textColor);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setClipRect(textRect, Qt::IntersectClip);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    painter.restore();
}

QImage OwnerDrawMenu::RenderEntry(int index, bool selected) const {
    const EntryState state = StateOf(index, selected);
    QImage image(EntrySize(state.separator), QImage::Format_RGB32);
    image.setDevicePixelRatio(1);
    image.fill(Qt::black);
    QPainter painter(&image);
    DrawItem(painter, image.rect(), state, itemTexts_.at(index));
    return image;
}

void OwnerDrawMenu::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const {
    QMenu::initStyleOption(option, action);
    const int index = IndexOf(action);
    if (index >= 0) {
        option->text = itemTexts_.at(index);
    }
    // Entries are never drawn with a check mark, whatever their check state.
    option->checkType = QStyleOptionMenuItem::NotCheckable;
    option->checked = false;
}

void OwnerDrawMenu::mouseReleaseEvent(QMouseEvent* event) {
    // Only the left button chooses an entry; releasing another button (such as
    // the right button that opened the menu) chooses nothing.
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QMenu::mouseReleaseEvent(event);
}

int OwnerDrawMenu::IndexOf(const QAction* action) const {
    if (action == nullptr) {
        return -1;
    }
    const auto found =
        std::find_if(entries_.begin(), entries_.end(), [action](const Entry& entry) { return entry.action == action; });
    return found == entries_.end() ? -1 : static_cast<int>(found - entries_.begin());
}

OwnerDrawMenu::EntryState OwnerDrawMenu::StateOf(int index, bool selected) const {
    const unsigned flags = EntryFlags(index);
    EntryState state;
    state.separator = (flags & MENU_ITEM_SEPARATOR) != 0;
    state.unavailable = (flags & (MENU_ITEM_GRAYED | MENU_ITEM_DISABLED)) != 0;
    state.selected = selected;
    return state;
}

} // namespace tqf
