#include "SkinCheckBoxAccessible.h"

#include "AccessibleEvents.h"
#include "SkinCheckBox.h"

namespace tqf {

namespace {

QAccessibleInterface* CheckBoxFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(SkinCheckBox::staticMetaObject.className()) && object != nullptr &&
        object->isWidgetType()) {
        return new SkinCheckBoxAccessible(static_cast<SkinCheckBox*>(object));
    }
    return nullptr;
}

// The caption without its mnemonic marks: "&&" is a literal ampersand, a
// single "&" only underlines the next letter.
QString WithoutMnemonic(const QString& caption) {
    QString plain;
    plain.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            ++i;
            if (i == caption.size()) {
                break;
            }
        }
        plain += caption[i];
    }
    return plain;
}

} // namespace

SkinCheckBoxAccessible::SkinCheckBoxAccessible(SkinCheckBox* box) : QAccessibleWidget(box, QAccessible::CheckBox) {}

void SkinCheckBoxAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(CheckBoxFactory);
        return true;
    }();
    (void)installed;
}

void SkinCheckBoxAccessible::NotifyCheckChanged(QWidget* box) {
    if (!AccessibleEvents::Listening()) {
        return;
    }
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(box, changed);
    AccessibleEvents::Send(event);
}

SkinCheckBox* SkinCheckBoxAccessible::Box() const { return static_cast<SkinCheckBox*>(widget()); }

QString SkinCheckBoxAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Name && Box()->accessibleName().isEmpty()) {
        return WithoutMnemonic(Box()->text());
    }
    return QAccessibleWidget::text(t);
}

QAccessible::State SkinCheckBoxAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.checkable = true;
    state.checked = Box()->GetCheck() == 1;
    state.pressed = Box()->IsPressed();
    return state;
}

// A box that does not take input offers nothing to do; one that does can
// also be given the keyboard focus, as a reader's "grab focus" asks.
QStringList SkinCheckBoxAccessible::actionNames() const {
    if (!Box()->isEnabled()) {
        return {};
    }
    return {toggleAction(), pressAction(), setFocusAction()};
}

void SkinCheckBoxAccessible::doAction(const QString& name) {
    if (!Box()->isEnabled()) {
        return;
    }
    if (name == toggleAction() || name == pressAction()) {
        Box()->Toggle();
    } else if (name == setFocusAction()) {
        Box()->setFocus(Qt::OtherFocusReason);
    }
}

QStringList SkinCheckBoxAccessible::keyBindingsForAction(const QString& name) const {
    (void)name;
    return QStringList();
}

} // namespace tqf
