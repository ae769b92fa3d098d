// Files that report no size are read to their end: the kernel's, and a FIFO fed by the test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "file_io.h"
#include "temp_dir.h"

namespace kolvane::test {
namespace {

TEST(KernelFileTest, ReadToTheEndWithinTheLimit) {
    std::string data;
    std::size_t length = 0;
    EXPECT_EQ(ReadWholeFile("/proc/loadavg", kMaxFileSize, data, &length), EReadResult::Ok);
    EXPECT_EQ(length, data.size() - 2);  // though it reports a size of 0
    CTempDir dir;
    const std::string fifo = dir / "fifo";
    // The bytes the writer sends, in two halves; 0: it stalls; -1: there is no writer.
    for (const auto& c : {std::pair{-1L, EReadResult::Empty},
                          {480000L, EReadResult::Ok},
                          {480001L, EReadResult::TooBig},
                          {0L, EReadResult::ReadFailed}}) {
        std::filesystem::remove(fifo);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        const int writer = c.first >= 0 ? ::open(fifo.c_str(), O_RDWR) : -1;  // never blocks
        std::thread feeder([&] {
            const std::string bytes(std::size_t(std::max(c.first, 0L)), '\n');
            for (std::size_t at = 0, half = bytes.size() / 2; at < bytes.size();) {
                const ssize_t w =
                    ::write(writer, &bytes[at], (at < half ? half : bytes.size()) - at);
                if (w <= 0) break;
                at += std::size_t(w);
                if (at == half) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            if (c.first > 0) ::close(writer);
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(ReadWholeFile(fifo, kMaxFileSize, data, &length), c.second) << c.first;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        feeder.join();
        if (c.first == 0) ::close(writer);
        if (c.second == EReadResult::Ok) {
            EXPECT_EQ(length, std::size_t(c.first));
        }
    }
}

}  // namespace
}  // namespace kolvane::test
