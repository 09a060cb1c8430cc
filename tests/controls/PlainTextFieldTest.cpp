#include "PlainTextField.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

namespace tqf {
namespace {

// Ctrl+V and Shift+Insert, with the clipboard empty and with a text on it.
TEST(PlainTextFieldTest, APasteFromAnEmptyClipboardInsertsNothing) {
    PlainTextField field(QStringLiteral("dictionary CEID: formats A"));
    field.show();
    field.moveCursor(QTextCursor::End);
    // What the X clipboard gives when nothing was copied: data of no format.
    QApplication::clipboard()->setMimeData(new QMimeData);
    QTest::keyClick(&field, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(&field, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(field.toPlainText(), QStringLiteral("dictionary CEID: formats A"));
    QApplication::clipboard()->setText(QStringLiteral(" U4"));
    QTest::keyClick(&field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field.toPlainText(), QStringLiteral("dictionary CEID: formats A U4"));
}

} // namespace
} // namespace tqf
