// CSshServer (sshd) and CFtpsServer (pyftpdlib's TLS handler run by the system's python).
#include "secure_servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifndef KOLVANE_FTPS_SERVER_SCRIPT
#error "KOLVANE_FTPS_SERVER_SCRIPT must name ftps_server.py"
#endif

namespace kolvane::test {
CSshServer::CSshServer(long cutAfter) : m_dir("sshd") {
    KeepProxiesAway();
    m_root = m_dir / "root";
    m_home = m_dir / "home";
    std::filesystem::create_directories(m_root);
    std::filesystem::create_directories(m_home + "/.ssh");
    const std::string log = m_dir / "tools.log";
    for (const std::string& key : {m_dir / "host_key", m_home + "/.ssh/id_ed25519"})
        if (!RunTool(
                {"/usr/bin/ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-C", "test", "-f", key},
                log))
            throw std::runtime_error("ssh-keygen failed: " + ReadAll(log));
    WriteFileBytes(m_dir / "authorized_keys", ReadAll(m_home + "/.ssh/id_ed25519.pub"));
    // As root sshd separates privileges into this folder, which its service makes at boot.
    if (::geteuid() == 0) ::mkdir("/run/sshd", 0755);
    m_process = StartOnFreePort(
        [&](int port) {
            const std::string conf = m_dir / "sshd_config";
            WriteFileBytes(conf, "Port " + std::to_string(port) +
                                     "\nListenAddress 127.0.0.1\nHostKey " + (m_dir / "host_key") +
                                     "\nPidFile none\nUsePAM no\nStrictModes no\n"
                                     "AuthorizedKeysFile " +
                                     (m_dir / "authorized_keys") +
                                     "\nPasswordAuthentication yes\n"
                                     "KbdInteractiveAuthentication no\nPermitRootLogin yes\n"
                                     "Subsystem sftp internal-sftp\nLogLevel VERBOSE\n");
            return std::vector<std::string>{"/usr/sbin/sshd", "-D", "-e", "-f", conf};
        },
        m_dir / "sshd.log", m_port, "sshd");
    if (cutAfter <= 0) return;
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(listener, 8) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("the relay cannot listen");
    m_relayPort = ntohs(addr.sin_port);
    m_relay = std::thread([this, listener, cutAfter] { Relay(listener, cutAfter); });
}

CSshServer::~CSshServer() {
    m_stop = true;
    if (m_relay.joinable()) m_relay.join();
    m_process.reset();
}

void CSshServer::Relay(int listener, long cutAfter) {
    for (pollfd wait{listener, POLLIN, 0}; !m_stop;) {
        if (::poll(&wait, 1, 100) <= 0) continue;
        const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(static_cast<uint16_t>(m_port));
        long fromServer = 0;
        if (client >= 0 && server >= 0 &&
            ::connect(server, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
            pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            char buffer[16384];
            while (!m_stop && fromServer < cutAfter) {
                if (::poll(ends, 2, 100) <= 0) continue;
                const int from = (ends[0].revents != 0) ? 0 : 1;
                const ssize_t n = ::read(ends[from].fd, buffer, sizeof buffer);
                if (n <= 0 || ::write(ends[1 - from].fd, buffer, n) != n) break;
                if (from == 1) fromServer += n;
            }
        }
        ::close(client);  // the server "dies" for the client: both ends go at once
        ::close(server);
    }
    ::close(listener);
}

void CSshServer::Trust() const {
    std::istringstream key(ReadAll(m_dir / "host_key.pub"));
    std::string type, blob;
    key >> type >> blob;
    WriteFileBytes(m_home + "/.ssh/known_hosts",
                   "[127.0.0.1]:" + std::to_string(Port()) + " " + type + " " + blob + "\n");
}

CFtpsServer::CFtpsServer(bool implicit, const std::string& certificateFor,
                         const std::vector<std::string>& options)
    : m_dir("ftps"), m_bImplicit(implicit) {
    KeepProxiesAway();
    m_root = m_dir / "root";
    std::filesystem::create_directories(m_root);
    const std::string log = m_dir / "tools.log", ca = m_dir / "ca", srv = m_dir / "server";
    MakeCertificates(m_dir, "IP:" + certificateFor, certificateFor, log);
    m_caFile = ca + ".crt";
    m_process = StartOnFreePort(
        [&](int port) {
            std::vector<std::string> argv{"/usr/bin/python3",
                                          KOLVANE_FTPS_SERVER_SCRIPT,
                                          std::to_string(port),
                                          kUser,
                                          kPassword,
                                          m_root,
                                          srv + ".crt",
                                          srv + ".key"};
            if (implicit) argv.emplace_back("--implicit");
            argv.insert(argv.end(), options.begin(), options.end());
            return argv;
        },
        m_dir / "ftps.log", m_port, "pyftpdlib (TLS)");
}

CFtpsServer::~CFtpsServer() {
    m_process.reset();
}

std::string CFtpsServer::BaseUrl() const {
    return std::string(m_bImplicit ? "ftps" : "ftpes") + "://127.0.0.1:" + std::to_string(m_port);
}

}  // namespace kolvane::test
