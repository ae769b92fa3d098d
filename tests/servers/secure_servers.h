// Servers of the encrypted transfers, on 127.0.0.1 with free ports, their keys and
// certificates made for each one in a temporary directory (see test_servers.h for the rest).
//
//   CSshServer   OpenSSH's sshd with its own configuration and host key, logging in the user
//                who runs the tests (root too) by the key in Home()/.ssh, or refusing a password;
//                with `cutAfter`, reached through a relay that cuts the connection once that
//                many bytes came from the server, as when the server dies.
//   CFtpsServer  pyftpdlib's TLS handler, explicit (AUTH TLS) or implicit (TLS from the first
//                byte), a user with a password on Root(); its certificate for 127.0.0.1 (or
//                for another address: a mismatch) comes from a throwaway CA that CaFile() holds.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "test_servers.h"

namespace kolvane::test {

class CSshServer {
  public:
    explicit CSshServer(long cutAfter = 0);
    ~CSshServer();
    CSshServer(const CSshServer&) = delete;
    CSshServer& operator=(const CSshServer&) = delete;

    int Port() const { return m_relayPort ? m_relayPort : m_port; }
    // A folder for the served files (SFTP paths are the file system's).
    const std::string& Root() const { return m_root; }
    // A home folder for the client: .ssh/id_ed25519 is authorised; Trust() adds the server's
    // host key to its .ssh/known_hosts.
    const std::string& Home() const { return m_home; }
    void Trust() const;
    std::string BaseUrl() const { return "sftp://127.0.0.1:" + std::to_string(Port()); }

  private:
    void Relay(int listener, long cutAfter);

    CServerDir m_dir;
    std::string m_root, m_home;
    int m_port = 0, m_relayPort = 0;
    std::unique_ptr<CChildProcess> m_process;
    std::atomic<bool> m_stop{false};
    std::thread m_relay;
};

class CFtpsServer {
  public:
    static constexpr const char* kUser = "tlsuser";
    static constexpr const char* kPassword = "tls secret";

    // `certificateFor`: the address the server's certificate names. `options` go to
    // ftps_server.py ("--die-after=BYTES").
    explicit CFtpsServer(bool implicit, const std::string& certificateFor = "127.0.0.1",
                         const std::vector<std::string>& options = {});
    ~CFtpsServer();
    CFtpsServer(const CFtpsServer&) = delete;
    CFtpsServer& operator=(const CFtpsServer&) = delete;

    const std::string& Root() const { return m_root; }
    const std::string& CaFile() const { return m_caFile; }
    int Port() const { return m_port; }
    // "ftps://127.0.0.1:<port>" (implicit) or "ftpes://127.0.0.1:<port>" (explicit).
    std::string BaseUrl() const;

  private:
    CServerDir m_dir;
    std::string m_root, m_caFile;
    bool m_bImplicit = false;
    int m_port = 0;
    std::unique_ptr<CChildProcess> m_process;
};

}  // namespace kolvane::test
