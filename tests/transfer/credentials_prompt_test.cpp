// The console's credentials prompt on a 401: it reads only from a terminal, and never echoes
// the password there.
#include "cli/credentials_prompt.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace kolvane {
namespace {

// Puts `fd` in place of standard input for its lifetime.
class CStdinSwap {
  public:
    explicit CStdinSwap(int fd) : m_saved(::dup(0)) { ::dup2(fd, 0); }
    ~CStdinSwap() {
        ::dup2(m_saved, 0);
        ::close(m_saved);
    }
    CStdinSwap(const CStdinSwap&) = delete;
    CStdinSwap& operator=(const CStdinSwap&) = delete;

  private:
    int m_saved;
};

TEST(PromptCredentials, AnswersCancelledWithoutReadingWhenNotATerminal) {
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    ASSERT_EQ(::write(p[1], "user\npw\n", 8), 8);
    ::close(p[1]);
    std::string user = "before", password = "before";
    ECredentialsResult result;
    char rest[16];
    ssize_t unread;
    {
        CStdinSwap swap(p[0]);
        result = PromptCredentials("http://127.0.0.1/", user, password);
        unread = ::read(0, rest, sizeof rest);
    }
    ::close(p[0]);
    EXPECT_EQ(result, ECredentialsResult::Cancelled);
    EXPECT_EQ(unread, 8);
    EXPECT_EQ(user, "before");
    EXPECT_EQ(password, "before");
}

struct SPty {
    int master = -1;
    int slave = -1;
    SPty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
        slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    }
    ~SPty() {
        if (slave >= 0) ::close(slave);
        if (master >= 0) ::close(master);
    }
    bool EchoOn() const {
        termios t{};
        return ::tcgetattr(slave, &t) == 0 && (t.c_lflag & ECHO);
    }
    std::string Output() const {
        std::string out;
        char buf[256];
        int flags = ::fcntl(master, F_GETFL);
        ::fcntl(master, F_SETFL, flags | O_NONBLOCK);
        for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;) out.append(buf, n);
        return out;
    }
};

TEST(PromptCredentials, ReadsTheUserAndAPasswordThatIsNotEchoed) {
    SPty pty;
    ASSERT_GE(pty.slave, 0);
    ASSERT_EQ(::write(pty.master, "alice\n", 6), 6);
    // The password is typed once echo is off, as a person would after the prompt.
    std::thread typist([&pty] {
        for (int i = 0; i < 500 && pty.EchoOn(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        (void)::write(pty.master, "s3cret\n", 7);
    });
    std::string user, password;
    ECredentialsResult result;
    {
        CStdinSwap swap(pty.slave);
        result = PromptCredentials("http://127.0.0.1/", user, password);
    }
    typist.join();
    EXPECT_EQ(result, ECredentialsResult::Success);
    EXPECT_EQ(user, "alice");
    EXPECT_EQ(password, "s3cret");
    std::string shown = pty.Output();
    EXPECT_NE(shown.find("alice"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("s3cret"), std::string::npos) << shown;
    EXPECT_TRUE(pty.EchoOn()) << "echo must be restored";
}

TEST(PromptCredentials, EmptyUserIsCancelled) {
    SPty pty;
    ASSERT_GE(pty.slave, 0);
    ASSERT_EQ(::write(pty.master, "\n", 1), 1);
    std::string user, password;
    CStdinSwap swap(pty.slave);
    EXPECT_EQ(PromptCredentials("http://127.0.0.1/", user, password),
              ECredentialsResult::Cancelled);
}

}  // namespace
}  // namespace kolvane
