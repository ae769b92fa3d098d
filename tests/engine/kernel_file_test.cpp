// Scan files that report no size: the kernel's files under /proc, and FIFOs fed by the test.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "engine_fixture.h"

namespace kolvane::test {
namespace {

enum class EFeed { SystemFile, NoWriter, Writes, Stalls };

struct KernelFileCase {
    const char* name;
    EFeed feed;
    std::string bytes;  // a system file's path, else what the writer sends (in two halves)
    const char* entry;  // the excluding entry, or null when the file is read
};

class KernelFileTest : public EngineTest, public ::testing::WithParamInterface<KernelFileCase> {};

TEST_P(KernelFileTest, ReadsToTheEnd) {
    const KernelFileCase& c = GetParam();
    ASSERT_EQ(view.OpenErrorLog(dir.Path(), "err.log"), 1);
    std::string path = c.feed == EFeed::SystemFile ? c.bytes : dir / "fifo";
    int writer = -1;  // held open read-write: it never blocks and keeps a writer
    std::thread feeder;
    if (c.feed != EFeed::SystemFile) {
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        if (c.feed != EFeed::NoWriter) writer = ::open(path.c_str(), O_RDWR);
    }
    if (c.feed == EFeed::Writes)
        feeder = std::thread([&] {
            const std::size_t half = c.bytes.size() / 2;
            EXPECT_EQ(::write(writer, c.bytes.data(), half), ssize_t(half));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            std::size_t sent = half;
            while (sent < c.bytes.size()) {
                ssize_t w = ::write(writer, c.bytes.data() + sent, c.bytes.size() - sent);
                if (w <= 0) break;
                sent += std::size_t(w);
            }
            ::close(writer);
        });
    const auto start = std::chrono::steady_clock::now();
    std::size_t length = 0;
    const int read = view.ReadScanFile(path.substr(0, path.rfind('/')),
                                       path.substr(path.rfind('/') + 1), &length);
    const auto took = std::chrono::steady_clock::now() - start;
    if (feeder.joinable()) feeder.join();
    if (c.feed == EFeed::Stalls) ::close(writer);
    EXPECT_LT(took, std::chrono::milliseconds(kPipeWaitMilliseconds + 1000));
    if (c.entry) {
        EXPECT_EQ(read, 0);
        std::string expected = c.entry;
        expected.replace(expected.find("%s"), 2, path);
        EXPECT_EQ(ErrorLog(), expected + "  *** Excluding this file! " + std::string(kStamp));
    } else {
        EXPECT_EQ(read, 1) << ErrorLog();
        if (c.feed == EFeed::Writes) {
            EXPECT_EQ(length, c.bytes.size());
        }
        EXPECT_GT(length, 0u);
    }
}

std::string Lines(std::size_t size) {
    std::string s(size, 'a');
    s[size / 3] = '\n';
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Table, KernelFileTest,
    ::testing::Values(
        KernelFileCase{"ProcLoadavg", EFeed::SystemFile, "/proc/loadavg", nullptr},
        KernelFileCase{"FifoWithoutWriterIsEmpty", EFeed::NoWriter, "", "Scan File %s is Empty!"},
        KernelFileCase{"FifoOfTheLimitSentInTwoHalves", EFeed::Writes, Lines(480000), nullptr},
        KernelFileCase{"FifoPastTheLimit", EFeed::Writes, Lines(480001),
                       "Scan File %s is tooooooo big!"},
        KernelFileCase{"FifoWhoseWriterStalls", EFeed::Stalls, "", "Failed to Read Scan File %s!"}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace kolvane::test
