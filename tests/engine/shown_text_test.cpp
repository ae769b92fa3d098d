// Outside text in the log: control bytes as "\xNN", the program's own line breaks kept.
#include "shown_text.h"

#include <gtest/gtest.h>

namespace kolvane {

TEST(ShownText, EscapesControlsButKeepsOwnLineBreaks) {
    // text, EscapeControls keeping line breaks, ServerText
    const std::string cases[][3] = {
        {"a\tb\x1b[31m\a\x7f\xC2\x9B\xC2\xA0", "a\tb\\x1B[31m\\x07\\x7F\\xC2\\x9B\xC2\xA0",
         "a\tb\\x1B[31m\\x07\\x7F\\xC2\\x9B\xC2\xA0"},
        {"x\ry\r\nz\n", "x\\x0Dy\r\nz\n", "x\\x0Dy\\x0D\\x0Az\\x0A"}};
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeControls(c[0], ELineBreaks::Keep), c[1]);
        EXPECT_EQ(ServerText(c[0]), c[2]);
    }
}

}  // namespace kolvane
