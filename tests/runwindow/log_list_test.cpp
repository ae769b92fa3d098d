// The log list's model over the stored lines: the line limit of 128000 lines with its notice,
// lines dropped after it, and a list emptied by a run, measured in-process without a display.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "editor/wx_text.h"
#include "runwindow/log_model.h"

namespace kolvane {
namespace {

TEST(LogList, LineLimitNoticeThenDropping) {
    CLogStore log(128000);
    wxObjectDataPtr<CLogListModel> model(new CLogListModel(log));
    const auto start = std::chrono::steady_clock::now();
    for (int i = 1; i <= 128000; ++i) {
        ASSERT_EQ(log.Append("line " + std::to_string(i)), CLogStore::EAppend::Shown);
        model->Sync();
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::printf("appending 128000 lines: %.1f ms\n",
                std::chrono::duration<double, std::milli>(elapsed).count());
    EXPECT_EQ(model->GetCount(), 128000u);
    wxVariant last;
    model->GetValueByRow(last, 127999, 0);
    EXPECT_EQ(last.GetString(), "line 128000");

    EXPECT_EQ(log.Append("one more"), CLogStore::EAppend::LimitNotice);
    model->Sync();
    EXPECT_EQ(log.LineCount(), 128001);
    EXPECT_TRUE(log.m_bLineLimit);
    wxVariant notice;
    model->GetValueByRow(notice, 128000, 0);
    EXPECT_EQ(notice.GetString(), "**** Application line limit reached! ****");

    EXPECT_EQ(log.Append("dropped"), CLogStore::EAppend::Dropped);
    model->Sync();
    EXPECT_EQ(model->GetCount(), 128001u);

    // A run that starts with a full log empties it; the list follows.
    log.Clear();
    log.Append("first of the next run");
    model->Sync();
    EXPECT_EQ(model->GetCount(), 1u);
}

TEST(LogList, BytesThatAreNotUtf8ShowAsLatin1) {
    EXPECT_EQ(ToWx("caf\xc3\xa9"), wxString::FromUTF8("caf\xc3\xa9"));
    EXPECT_EQ(ToWx("caf\xe9"), wxString::FromUTF8("caf\xc3\xa9"));
}

}  // namespace
}  // namespace kolvane
