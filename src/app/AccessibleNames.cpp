#include "AccessibleNames.h"

#include "ControlIds.h"
#include "EditorDialog.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGroupBox>
#include <QLabel>

#include <array>

namespace tqf {

namespace {

// A field and the object name of the label beside it.
struct LabelledField {
    int id;
    const char* labelName;
};

constexpr std::array<LabelledField, 6> LABELLED_FIELDS{{
    {IDC_STREAM, "streamLabel"},
    {IDC_FUNCTION, "functionLabel"},
    {IDC_MESSAGE_DESCRIPTION, "messageDescriptionLabel"},
    {IDC_FORMAT, "itemFormatLabel"},
    {IDC_ITEM_COUNT, "itemCountLabel"},
    {IDC_ITEM_DESCRIPTION, "itemDescriptionLabel"},
}};

// A control and the name it is read by.
struct NamedControl {
    int id;
    const char* name;
};

// The message panel and the item panel both have "Update" and "Delete"; the
// move buttons' captions are arrows and words in capitals.
constexpr std::array<NamedControl, 9> NAMED_CONTROLS{{
    {IDC_TREE, "Messages"},
    {IDC_CREATE_MESSAGE, "Create message"},
    {IDC_UPDATE_MESSAGE, "Update message"},
    {IDC_DELETE_MESSAGE, "Delete message"},
    {IDC_ADD_ITEM, "Add item"},
    {IDC_UPDATE_ITEM, "Update item"},
    {IDC_DELETE_ITEM, "Delete item"},
    {IDC_MOVE_UP, "Move up"},
    {IDC_MOVE_DOWN, "Move down"},
}};

// Marks the panels, which are plain widgets.
constexpr const char* PANEL_PROPERTY = "tqfControlPanel";

// A panel is a grouping to assistive tools, as the group box it lies over,
// and as large.
class PanelAccessible final : public QAccessibleWidget {
public:
    explicit PanelAccessible(QWidget* panel) : QAccessibleWidget(panel, QAccessible::Grouping) {}
    QRect rect() const override {
        const QRect area = widget()->mask().boundingRect();
        return QRect(widget()->mapToGlobal(area.topLeft()), area.size());
    }
};

QAccessibleInterface* PanelFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("QWidget") && object != nullptr && object->isWidgetType() &&
        object->property(PANEL_PROPERTY).toBool()) {
        return new PanelAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

} // namespace

void GroupControlsInPanels(EditorDialog& window) {
    static const bool installed = [] {
        QAccessible::installFactory(PanelFactory);
        return true;
    }();
    (void)installed;
    for (QGroupBox* group : window.findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly)) {
        auto* panel = new QWidget(&window);
        panel->setObjectName(group->objectName() + QStringLiteral("Panel"));
        panel->setProperty(PANEL_PROPERTY, true);
        panel->setAccessibleName(group->title());
        // From the window's corner, so that every control keeps its
        // geometry; the mask makes it as large as the group for painting
        // and for the pointer.
        const QRect area = group->geometry();
        panel->setGeometry(0, 0, area.right() + 1, area.bottom() + 1);
        panel->setMask(QRegion(area));
        // In stacking order, bottom first, so that the order among the
        // moved controls stays.
        const QObjectList children = window.children();
        for (QObject* child : children) {
            auto* control = qobject_cast<QWidget*>(child);
            if (control == nullptr || control == panel || control == group || control->isWindow() ||
                !area.contains(control->geometry())) {
                continue;
            }
            const QRect place = control->geometry();
            control->setParent(panel);
            control->setGeometry(place);
        }
        panel->raise();
    }
}

void NameControls(EditorDialog& window) {
    for (const LabelledField& field : LABELLED_FIELDS) {
        QWidget* control = window.Control(field.id);
        auto* label = window.findChild<QLabel*>(QString::fromLatin1(field.labelName));
        if (control != nullptr && label != nullptr) {
            label->setBuddy(control);
            control->setAccessibleName(label->text());
        }
    }
    for (const NamedControl& named : NAMED_CONTROLS) {
        if (QWidget* control = window.Control(named.id)) {
            control->setAccessibleName(QString::fromLatin1(named.name));
        }
    }
}

} // namespace tqf
