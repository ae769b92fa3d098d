// The change watch and its pacing.
#include "run/change_watch.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "temp_dir.h"

namespace kolvane::test {
namespace {

TEST(ChangeWatch, SeesWritesRenamesAndRemovalsOfItsNamesOnly) {
    CTempDir dir;
    const std::string scan = dir.Write("scan.txt", "1\n");
    CChangeWatch watch;
    ASSERT_TRUE(watch.Ok()) << watch.Error();
    const auto failed = watch.Watch({scan, dir / "gone/t.htm"});
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].rfind(dir / "gone: ", 0), 0u) << failed[0];
    EXPECT_FALSE(watch.Drain());
    dir.Write("other.txt", "x");  // a neighbour, as the run's own output is
    EXPECT_FALSE(watch.Drain());
    dir.Write("scan.new", "2\n");  // an editor's save: a new file renamed over the old one
    ASSERT_EQ(std::rename((dir / "scan.new").c_str(), scan.c_str()), 0);
    EXPECT_TRUE(watch.Drain());
    dir.Write("scan.txt", "3\n");
    EXPECT_TRUE(watch.Drain());
    ASSERT_EQ(std::remove(scan.c_str()), 0);
    EXPECT_TRUE(watch.Drain());
    // Watched again without the file, the folder's other names stay quiet.
    watch.Watch({dir / "t.htm"});
    dir.Write("scan.txt", "4\n");
    EXPECT_FALSE(watch.Drain());
}

TEST(ChangePacer, WaitsForQuietAndSpacesRuns) {
    using namespace std::chrono_literals;
    const CChangePacer::Clock::time_point t0{};
    CChangePacer pacer;
    EXPECT_FALSE(pacer.DueAt());
    pacer.Changed(t0);  // no run yet: due after the quiet alone
    EXPECT_EQ(*pacer.DueAt(), t0 + 200ms);
    pacer.Ran(t0 + 200ms);
    // A burst: each change moves the quiet on; the last run's second wins while it is later.
    for (auto at : {300ms, 350ms, 390ms}) pacer.Changed(t0 + at);
    EXPECT_EQ(*pacer.DueAt(), t0 + 1200ms);
    EXPECT_FALSE(pacer.Due(t0 + 1199ms));
    pacer.Changed(t0 + 1100ms);
    EXPECT_EQ(*pacer.DueAt(), t0 + 1300ms);
    EXPECT_TRUE(pacer.Due(t0 + 1300ms));
    pacer.Ran(t0 + 1300ms);
    EXPECT_FALSE(pacer.Due(t0 + 5s));
    // A file written without pause: due a second after its first change, quiet or not.
    for (std::chrono::milliseconds at = 6s; at < 8s; at += 100ms) pacer.Changed(t0 + at);
    EXPECT_EQ(*pacer.DueAt(), t0 + 7s);
}

}  // namespace
}  // namespace kolvane::test
