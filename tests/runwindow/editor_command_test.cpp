// The editor's command line for a double-clicked log line, and the print pagination.
#include "runwindow/editor_command.h"

#include <gtest/gtest.h>

#include "runwindow/print_pages.h"

namespace kolvane {
namespace {

using Argv = std::vector<std::string>;

TEST(FileOfLogLine, LinesThatNameAFile) {
    const struct {
        const char* line;
        const char* file;  // null: no file (a beep)
    } cases[] = {
        {"       1) ... /data/a b.txt scanned", "/data/a b.txt"},
        {"      12) ... data/x.log see error log", "data/x.log"},
        {"Local Output File: out/report.htm created!", "out/report.htm"},
        {"                    Rule File -> /r/report.rul", "/r/report.rul"},
        {"                    Error Log File -> out/errors.log", "out/errors.log"},
        {"Server Output File: /pub/report.htm created!", nullptr},
        {"Files Scanned: 12:00:00 PM on 12/07/26", nullptr},
        {"                                        ****  Kolvane File Data  ****", nullptr},
        {"Local Output File:  created!", nullptr},
    };
    for (const auto& c : cases) {
        auto file = FileOfLogLine(c.line);
        if (c.file)
            EXPECT_EQ(file.value_or("<none>"), c.file) << c.line;
        else
            EXPECT_FALSE(file) << c.line;
    }
}

TEST(EditorArgv, PlaceholdersQuotingAndThePathStaysOneArgument) {
    const std::string file = "/tmp/my dir/it's \"odd\" %l.txt";
    const struct {
        const char* editor;
        Argv argv;
    } cases[] = {
        {"xdg-open", {"xdg-open", file}},
        {"gvim %f", {"gvim", file}},
        {"ed -l%l %f", {"ed", "-l1", file}},
        {"ed +%l:%f", {"ed", "+1:" + file}},
        {"'/opt/my editor/bin/ed' --new", {"/opt/my editor/bin/ed", "--new", file}},
        {"\"/opt/a \\\"b\\\"/ed\"  -x", {"/opt/a \"b\"/ed", "-x", file}},
        {"my\\ ed", {"my ed", file}},
        {"ed ''", {"ed", "", file}},
        {"   ", {}},
        {"ed 'open", {"ed", "open", file}},  // an open quote runs to the end
    };
    for (const auto& c : cases) EXPECT_EQ(EditorArgv(c.editor, file), c.argv) << c.editor;
}

TEST(EditorArgv, CommandTextQuotesWhatAShellWouldSplit) {
    EXPECT_EQ(CommandText({"/no such/ed", "-l1", "it's"}), "'/no such/ed' -l1 'it'\\''s'");
}

TEST(PrintPages, EightyLinesAPage) {
    EXPECT_EQ(PageCount(0), 0);
    EXPECT_EQ(PageCount(80), 1);
    EXPECT_EQ(PageCount(81), 2);
    const SPageLines second = PageLines(2, 81);
    EXPECT_EQ(second.first, 80u);
    EXPECT_EQ(second.end, 81u);
    const SPageLines beyond = PageLines(3, 81);
    EXPECT_EQ(beyond.first, beyond.end);
}

}  // namespace
}  // namespace kolvane
