// CSshServer (sshd) and CFtpsServer (pyftpdlib's TLS handler run by the system's python).
#include "secure_servers.h"

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
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Starts `argv` (after `prepare(port)`) on a free port, trying again when the port was taken.
std::unique_ptr<CChildProcess> StartOnFreePort(
    const std::function<std::vector<std::string>(int)>& argvFor, const std::string& log, int& port,
    const char* what) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        port = FreePort();
        auto process = std::make_unique<CChildProcess>(argvFor(port), log);
        if (WaitForPort(port, 10000) && process->Running()) return process;
    }
    throw std::runtime_error(std::string(what) + " did not start: " + ReadAll(log));
}

}  // namespace

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
    // The cut kills the connection's own sshd process (the subsystem's parent), so the
    // connection ends as when the server dies; the listening sshd stays.
    const std::string sftp = cutAfter > 0 ? "/usr/lib/openssh/sftp-server | { dd iflag=count_bytes "
                                            "bs=65536 status=none count=" +
                                                std::to_string(cutAfter) + " ; kill -9 $PPID ; }"
                                          : "internal-sftp";
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
                                     "Subsystem sftp " +
                                     sftp + "\nLogLevel VERBOSE\n");
            return std::vector<std::string>{"/usr/sbin/sshd", "-D", "-e", "-f", conf};
        },
        m_dir / "sshd.log", m_port, "sshd");
}

CSshServer::~CSshServer() {
    m_process.reset();
}

void CSshServer::Trust() const {
    std::istringstream key(ReadAll(m_dir / "host_key.pub"));
    std::string type, blob;
    key >> type >> blob;
    WriteFileBytes(m_home + "/.ssh/known_hosts",
                   "[127.0.0.1]:" + std::to_string(m_port) + " " + type + " " + blob + "\n");
}

CFtpsServer::CFtpsServer(bool implicit, const std::string& certificateFor,
                         const std::vector<std::string>& options)
    : m_dir("ftps"), m_bImplicit(implicit) {
    KeepProxiesAway();
    m_root = m_dir / "root";
    std::filesystem::create_directories(m_root);
    const std::string log = m_dir / "tools.log", ca = m_dir / "ca", srv = m_dir / "server";
    WriteFileBytes(m_dir / "server.ext", "subjectAltName=IP:" + certificateFor +
                                             "\nbasicConstraints=CA:FALSE\n"
                                             "extendedKeyUsage=serverAuth\n");
    const bool made = RunTool({"/usr/bin/openssl",
                               "req",
                               "-x509",
                               "-newkey",
                               "ec",
                               "-pkeyopt",
                               "ec_paramgen_curve:prime256v1",
                               "-nodes",
                               "-keyout",
                               ca + ".key",
                               "-out",
                               ca + ".crt",
                               "-days",
                               "2",
                               "-subj",
                               "/CN=Kolvane Test CA",
                               "-addext",
                               "basicConstraints=critical,CA:TRUE",
                               "-addext",
                               "keyUsage=critical,keyCertSign,cRLSign"},
                              log) &&
                      RunTool({"/usr/bin/openssl", "req", "-newkey", "ec", "-pkeyopt",
                               "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", srv + ".key",
                               "-out", srv + ".csr", "-subj", "/CN=" + certificateFor},
                              log) &&
                      RunTool({"/usr/bin/openssl", "x509", "-req", "-in", srv + ".csr", "-CA",
                               ca + ".crt", "-CAkey", ca + ".key", "-CAcreateserial", "-out",
                               srv + ".crt", "-days", "2", "-extfile", m_dir / "server.ext"},
                              log);
    if (!made) throw std::runtime_error("openssl failed: " + ReadAll(log));
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
