// CFtpServer: pyftpdlib run by the system's python with the script beside this file.
#include <filesystem>
#include <stdexcept>

#include "test_servers.h"

#ifndef KOLVANE_FTP_SERVER_SCRIPT
#error "KOLVANE_FTP_SERVER_SCRIPT must name ftp_server.py"
#endif

namespace kolvane::test {

CFtpServer::CFtpServer(bool renameOverExisting, const std::string& refuse, bool connectBack,
                       const std::vector<std::string>& options)
    : m_dir("ftp") {
    KeepProxiesAway();
    m_root = m_dir / "root";
    m_userRoot = m_dir / "user";
    std::filesystem::create_directories(m_root);
    std::filesystem::create_directories(m_userRoot);
    m_process = StartOnFreePort(
        [&](int port) {
            std::vector<std::string> argv{"/usr/bin/python3",
                                          KOLVANE_FTP_SERVER_SCRIPT,
                                          std::to_string(port),
                                          m_root,
                                          kUser,
                                          kPassword,
                                          m_userRoot};
            if (!renameOverExisting) argv.emplace_back("--no-rename-over");
            if (!refuse.empty()) argv.emplace_back("--refuse=" + refuse);
            if (!connectBack) argv.emplace_back("--no-connect-back");
            argv.insert(argv.end(), options.begin(), options.end());
            return argv;
        },
        m_dir / "ftp.log", m_port, "pyftpdlib");
}

CFtpServer::~CFtpServer() {
    m_process.reset();
}

}  // namespace kolvane::test
