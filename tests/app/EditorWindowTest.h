#pragma once

#include "ControlIds.h"
#include "Document.h"
#include "EditorCommands.h"
#include "EditorDialog.h"
#include "FormatNode.h"
#include "FormatTreeView.h"
#include "ModalHelper.h"
#include "ScriptedPrompts.h"
#include "SkinButton.h"
#include "SkinCheckBox.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tqf {

// The real main window, shown headless, driven as a user drives it: clicks
// on buttons, check boxes and tree nodes, typing into fields, choosing rows.
class EditorWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        dialog = std::make_unique<EditorDialog>(&prompts);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        Settle();
    }

    void TearDown() override {
        dialog.reset();
        EXPECT_TRUE(prompts.answers.empty()) << "scripted answers left unused";
        EXPECT_TRUE(prompts.fileAnswers.empty()) << "scripted file choices left unused";
    }

    // Runs what is queued, such as the tree's notifications.
    static void Settle() {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }

    EditorCommands& Commands() { return dialog->Commands(); }
    FormatTreeView& Tree() { return dialog->TreeView(); }
    FormatNode* Root() { return Tree().GetRootNode(); }

    template <typename T> T* Control(int id) {
        auto* control = qobject_cast<T*>(dialog->Control(id));
        EXPECT_NE(control, nullptr) << "control " << id;
        return control;
    }
    QLineEdit* Edit(int id) { return Control<QLineEdit>(id); }
    SkinCheckBox* Check(int id) { return Control<SkinCheckBox>(id); }
    QComboBox* Formats() { return Control<QComboBox>(IDC_FORMAT); }
    bool Enabled(int id) { return dialog->Control(id)->isEnabled(); }
    QString Text(int id) { return Edit(id)->text(); }

    void Click(int id) {
        QWidget* control = dialog->Control(id);
        QTest::mouseClick(control, Qt::LeftButton, Qt::NoModifier, control->rect().center());
        Settle();
    }

    // Replaces the field's text by typing, key by key.
    void Type(int id, const QString& text) {
        QLineEdit* field = Edit(id);
        field->selectAll();
        if (text.isEmpty()) {
            QTest::keyClick(field, Qt::Key_Delete);
        } else {
            QTest::keyClicks(field, text);
        }
        Settle();
    }

    // Replaces the field's text as pasting does, without the keyboard's
    // digit filter.
    void Paste(int id, const QString& text) {
        QLineEdit* field = Edit(id);
        field->selectAll();
        field->insert(text);
        Settle();
    }

    // Chooses a row in the dropped format list with the mouse.
    void ChooseFormat(int row) {
        QComboBox* combo = Formats();
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        const QModelIndex index = view->model()->index(row, 0);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->visualRect(index).center());
        Settle();
        EXPECT_FALSE(view->isVisible());
    }

    void ClickNode(const FormatNode* node) {
        Tree().viewport()->repaint();
        ASSERT_FALSE(Tree().DrawnRect(node).IsEmpty()) << node->Label();
        const QPoint point(Tree().DrawnRect(node).left + 1, Tree().DrawnRect(node).top + 1);
        QTest::mouseClick(Tree().viewport(), Qt::LeftButton, Qt::NoModifier, point);
        Settle();
    }

    // Right-clicks the window's free area and clicks the entry of the menu
    // that opens, both as a person would, at window coordinates.
    void ChooseFromWindowMenu(const QString& entry) {
        bool clicked = false;
        OnNextModal(
            [&](QWidget* popup) {
                auto* menu = qobject_cast<QMenu*>(popup);
                ASSERT_NE(menu, nullptr);
                for (QAction* action : menu->actions()) {
                    if (action->text() == entry) {
                        clicked = true;
                        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                                          menu->actionGeometry(action).center());
                        return;
                    }
                }
                menu->close();
            },
            true);
        // Left of the file frame: the window's own background.
        const QPoint free(4, 4);
        ASSERT_EQ(dialog->childAt(free), nullptr);
        QTest::mouseClick(dialog->windowHandle(), Qt::RightButton, Qt::NoModifier, free);
        Settle();
        EXPECT_TRUE(clicked) << entry.toStdString();
    }

    // Creates a message through the panel and returns the new node.
    FormatNode* CreateMessage(const QString& stream, const QString& function, const QString& description = {}) {
        Type(IDC_STREAM, stream);
        Type(IDC_FUNCTION, function);
        Type(IDC_MESSAGE_DESCRIPTION, description);
        Click(IDC_CREATE_MESSAGE);
        return Commands().CurrentNode();
    }

    // Adds an item under the current node through the item panel.
    void AddItem(int format, const QString& count = {}, bool notFixed = false, const QString& description = {}) {
        ChooseFormat(format);
        if (!count.isEmpty()) {
            Type(IDC_ITEM_COUNT, count);
        }
        if (notFixed) {
            Click(IDC_NOT_FIXED);
        }
        if (!description.isEmpty()) {
            Type(IDC_ITEM_DESCRIPTION, description);
        }
        Click(IDC_ADD_ITEM);
    }

    static std::vector<std::string> Labels(const FormatNode* parent) {
        std::vector<std::string> labels;
        for (const FormatNode* node = parent->FirstChild(); node != nullptr; node = node->NextSibling()) {
            labels.push_back(node->Label().str());
        }
        return labels;
    }
    std::vector<std::string> MessageLabels() { return Labels(Root()); }

    ScriptedPrompts prompts;
    std::unique_ptr<EditorDialog> dialog;
};

} // namespace tqf
