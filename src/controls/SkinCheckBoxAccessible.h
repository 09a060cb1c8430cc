#pragma once

#include <QAccessibleWidget>

namespace tqf {

class SkinCheckBox;

// How screen readers see a skinned check box: a check box with its caption as
// its name and its check state, which it keeps itself rather than in
// QAbstractButton's checked flag.
class SkinCheckBoxAccessible : public QAccessibleWidget {
public:
    explicit SkinCheckBoxAccessible(SkinCheckBox* box);

    // Makes Qt ask this class for the interface of every SkinCheckBox; once
    // per program, however often it is called.
    static void Install();
    // Tells assistive tools that the box's check state changed; nothing is
    // done while no tool listens.
    static void NotifyCheckChanged(QWidget* box);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;

    // Toggle and press both tick or untick the box as a click does.
    QStringList actionNames() const override;
    void doAction(const QString& name) override;
    QStringList keyBindingsForAction(const QString& name) const override;

private:
    SkinCheckBox* Box() const;
};

} // namespace tqf
