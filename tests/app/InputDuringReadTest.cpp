#include "FileWindowTest.h"

#include <QTimer>

namespace tqf {
namespace {

class InputDuringReadTest : public FileWindowTest {};

// A library large enough to be read on two threads, in pieces, with the
// window repainted after every message, opened over unsaved changes: New
// clicked through the window while it is read neither asks nor empties the
// library, then or later.
TEST_F(InputDuringReadTest, NewClickedDuringAReadDoesNothing) {
    constexpr int MESSAGES = 3000;
    std::string text = "/* TALVO SECS MESSAGE FORMAT FILE */\r\n";
    for (int i = 0; i < MESSAGES; ++i) {
        text += "S1F" + std::to_string(i % 256) + "W\r\n<L[2]\r\n\t<A  NAME>\r\n\t<U4>\r\n>.\r\n\r\n";
    }
    const QString path = PathIn(QStringLiteral("big.TQF"));
    WriteBytes(path, text);
    CreateMessage(QStringLiteral("1"), QStringLiteral("1"));
    prompts.answers = {true};
    Files().SetRepaintInterval(0);
    bool clicked = false;
    QTimer::singleShot(0, dialog.get(), [&] {
        clicked = Files().Busy();
        Click(IDC_NEW);
    });
    Open(path);
    QCoreApplication::processEvents();
    EXPECT_TRUE(clicked);
    EXPECT_EQ(Root()->count, MESSAGES);
    EXPECT_EQ(prompts.questions.size(), 1U) << "only the question before the open";
    EXPECT_EQ(PathDisplay(), path);
    EXPECT_FALSE(Commands().modified);
}

} // namespace
} // namespace tqf
