// CFtpServer: pyftpdlib run by the system's python with the script beside this file.
#include <filesystem>
#include <fstream>
#include <sstream>
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
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = FreePort();
        std::vector<std::string> argv{"/usr/bin/python3",
                                      KOLVANE_FTP_SERVER_SCRIPT,
                                      std::to_string(m_port),
                                      m_root,
                                      kUser,
                                      kPassword,
                                      m_userRoot};
        if (!renameOverExisting) argv.emplace_back("--no-rename-over");
        if (!refuse.empty()) argv.emplace_back("--refuse=" + refuse);
        if (!connectBack) argv.emplace_back("--no-connect-back");
        argv.insert(argv.end(), options.begin(), options.end());
        m_process = std::make_unique<CChildProcess>(argv, m_dir / "ftp.log");
        if (WaitForPort(m_port, 10000) && m_process->Running()) return;
        m_process.reset();
    }
    std::ifstream in(m_dir / "ftp.log");
    std::stringstream ss;
    ss << in.rdbuf();
    throw std::runtime_error("pyftpdlib did not start: " + ss.str());
}

CFtpServer::~CFtpServer() {
    m_process.reset();
}

}  // namespace kolvane::test
