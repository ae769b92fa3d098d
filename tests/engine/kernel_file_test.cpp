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
    CTempDir dir;
    const std::string fifo = dir / "fifo";
    // feed: -2 a system file; -1 a FIFO without a writer; else the bytes its writer sends.
    struct Case {
        const char* path;
        long feed;
        EReadResult result;
    };
    const Case cases[] = {{"/proc/loadavg", -2, EReadResult::Ok},  // reports a size of 0
                          {"", -1, EReadResult::Empty},
                          {"", 480000, EReadResult::Ok},  // in two halves
                          {"", 480001, EReadResult::TooBig},
                          {"", 0, EReadResult::ReadFailed}};  // the writer stalls
    for (const auto& c : cases) {
        const std::string path = c.feed == -2 ? c.path : fifo;
        std::filesystem::remove(fifo);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        const int writer = c.feed >= 0 ? ::open(path.c_str(), O_RDWR) : -1;  // never blocks
        std::thread feeder([&] {
            const std::string bytes(std::size_t(std::max(c.feed, 0L)), '\n');
            const std::size_t half = bytes.size() / 2;
            for (std::size_t at = 0; at < bytes.size();) {
                const ssize_t w =
                    ::write(writer, &bytes[at], (at < half ? half : bytes.size()) - at);
                if (w <= 0) break;
                at += std::size_t(w);
                if (at == half) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            if (c.feed > 0) ::close(writer);
        });
        std::string data;
        std::size_t length = 0;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(ReadWholeFile(path, kMaxFileSize, data, &length), c.result) << c.feed;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        feeder.join();
        if (c.feed == 0) ::close(writer);
        if (c.result == EReadResult::Ok) {
            EXPECT_EQ(length, c.feed > 0 ? std::size_t(c.feed) : data.size() - 2);
        }
    }
}

}  // namespace
}  // namespace kolvane::test
