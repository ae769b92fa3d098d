// CRawResponder: a one-thread socket server that answers each connection with scripted bytes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <stdexcept>

#include "test_servers.h"

namespace kolvane::test {
namespace {

// The value of a "Content-Length" header in `head`; 0 when absent.
std::size_t ContentLength(const std::string& head) {
    std::string lower;
    for (char c : head) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto at = lower.find("\r\ncontent-length:");
    return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + 17, nullptr, 10);
}

// Reads the request head and its body (as "Content-Length" gives it), so that closing the
// socket afterwards never resets the connection under unread data. Gives up on a client that
// sends nothing for 5 seconds.
std::string ReadRequest(int fd) {
    std::string request;
    char buf[4096];
    std::size_t want = std::string::npos;
    while (request.size() < want) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) break;
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, static_cast<std::size_t>(n));
        auto end = request.find("\r\n\r\n");
        if (want == std::string::npos && end != std::string::npos)
            want = end + 4 + ContentLength(request.substr(0, end + 2));
    }
    return request;
}

void SendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

}  // namespace

CRawResponder::CRawResponder(Answer answer, bool speakFirst)
    : m_answer(std::move(answer)), m_bSpeakFirst(speakFirst) {
    KeepProxiesAway();
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listen, 16) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (m_listen >= 0) ::close(m_listen);
        throw std::runtime_error("raw responder cannot listen");
    }
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

CRawResponder::~CRawResponder() {
    m_stop = true;
    m_thread.join();
    for (int fd : m_held) ::close(fd);
    ::close(m_listen);
}

std::vector<std::string> CRawResponder::Requests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void CRawResponder::Serve() {
    int connection = 0;
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        std::string head = m_bSpeakFirst ? std::string() : ReadRequest(fd);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(head);
        }
        SRawReply reply = m_answer(head, connection++);
        SendAll(fd, reply.bytes);
        switch (reply.then) {
            case ERawThen::Close:
                ::shutdown(fd, SHUT_WR);
                ::close(fd);
                break;
            case ERawThen::Stall:
                m_held.push_back(fd);
                break;
            case ERawThen::Drip:
                for (int i = 0; i < 20 && !m_stop; ++i) {
                    pollfd gone{fd, POLLIN, 0};  // the client closed or reset
                    if (::poll(&gone, 1, 500) != 0 || ::send(fd, "x", 1, MSG_NOSIGNAL) != 1) break;
                }
                ::close(fd);
                break;
            case ERawThen::Reset: {
                linger l{1, 0};
                ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
                ::close(fd);
                break;
            }
        }
    }
}

}  // namespace kolvane::test
