// CHttpServer: nginx with a generated configuration, prefix and throwaway TLS certificates.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "test_servers.h"

namespace kolvane::test {
namespace {

void WriteHtpasswd(const CServerDir& dir, const std::string& log) {
    const std::string hashFile = dir / "hash.txt";
    if (!RunTool({"/usr/bin/openssl", "passwd", "-apr1", CHttpServer::kPassword}, hashFile))
        throw std::runtime_error("openssl passwd failed");
    std::string hash = ReadAll(hashFile);
    while (!hash.empty() && (hash.back() == '\n' || hash.back() == '\r')) hash.pop_back();
    WriteFileBytes(dir / "htpasswd", std::string(CHttpServer::kUser) + ":" + hash + "\n");
    (void)log;
}

std::string Config(const CServerDir& dir, const std::string& root, const std::string& second,
                   int port, int secondPort, int httpsPort) {
    const std::string p = std::to_string(port), p2 = std::to_string(secondPort);
    std::ostringstream c;
    c << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
      << "pid " << dir / "nginx.pid"
      << ";\nerror_log " << dir / "error.log"
      << " warn;\n"
      << "events { worker_connections 256; }\n"
      << "http {\n  log_format methods '$request_method $request_uri $status';\n"
      << "  access_log " << dir / "access.log"
      << " methods;\n  server_tokens off;\n  default_type "
         "application/octet-stream;\n"
      << "  client_max_body_size 100m;\n  keepalive_timeout 30;\n";
    for (const char* t : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
        c << "  " << t << "_temp_path " << dir / (std::string("tmp_") + t) << ";\n";
    c << "  server {\n    listen 127.0.0.1:" << p << ";\n    listen 127.0.0.1:" << httpsPort
      << " ssl;\n    ssl_certificate " << dir / "server.crt"
      << ";\n    ssl_certificate_key " << dir / "server.key"
      << ";\n    root " << root << ";\n"
      << "    location / { dav_methods PUT DELETE MKCOL MOVE; create_full_put_path on;"
         " dav_access user:rw group:rw all:r; }\n"
      << "    location /auth/ { auth_basic \"Kolvane test\"; auth_basic_user_file "
      << dir / "htpasswd"
      << "; dav_methods PUT DELETE; create_full_put_path on; }\n"
      << "    location /readonly/ { }\n";
    for (int code : {301, 302, 303})
        c << "    location ~ ^/r" << code << "(/.*)$ { return " << code << " http://127.0.0.1:" << p
          << "$1; }\n";
    c << "    location ~ ^/r302second(/.*)$ { return 302 http://127.0.0.1:" << p2 << "$1; }\n";
    for (int code : {403, 404, 405, 500, 503})
        c << "    location /status/" << code << " { return " << code << "; }\n";
    c << "  }\n  server {\n    listen 127.0.0.1:" << p2 << ";\n    root " << second << ";\n"
      << "    location / { dav_methods PUT DELETE; create_full_put_path on; }\n  }\n}\n";
    return c.str();
}

}  // namespace

void MakeCertificates(const CServerDir& dir, const std::string& altNames,
                      const std::string& commonName, const std::string& log) {
    const std::string ca = dir / "ca", srv = dir / "server";
    WriteFileBytes(dir / "server.ext",
                   "subjectAltName=" + altNames + "\n"
                   "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n"
                   "extendedKeyUsage=serverAuth\n");
    bool ok = RunTool({"/usr/bin/openssl",
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
                       "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", srv + ".key", "-out",
                       srv + ".csr", "-subj", "/CN=" + commonName},
                      log) &&
              RunTool({"/usr/bin/openssl", "x509", "-req", "-in", srv + ".csr", "-CA", ca + ".crt",
                       "-CAkey", ca + ".key", "-CAcreateserial", "-out", srv + ".crt", "-days", "2",
                       "-extfile", dir / "server.ext"},
                      log);
    if (!ok)
        throw std::runtime_error("openssl could not make the test certificates: " + ReadAll(log));
}

CHttpServer::CHttpServer() : m_dir("nginx") {
    KeepProxiesAway();
    m_root = m_dir / "root";
    m_secondRoot = m_dir / "second";
    std::filesystem::create_directories(m_root + "/auth");
    std::filesystem::create_directories(m_root + "/readonly");
    std::filesystem::create_directories(m_secondRoot);
    for (const char* t : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
        std::filesystem::create_directories(m_dir / (std::string("tmp_") + t));
    const std::string log = m_dir / "tools.log";
    MakeCertificates(m_dir, "IP:127.0.0.1,DNS:localhost", "127.0.0.1", log);
    WriteHtpasswd(m_dir, log);
    m_caFile = m_dir / "ca.crt";
    ::setenv("SSL_CERT_FILE", m_caFile.c_str(), 1);

    // A port taken by someone else between FreePort and nginx's bind makes nginx exit: retry.
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = FreePort();
        do m_secondPort = FreePort();
        while (m_secondPort == m_port);
        do m_httpsPort = FreePort();
        while (m_httpsPort == m_port || m_httpsPort == m_secondPort);
        const std::string conf = m_dir / "nginx.conf";
        WriteFileBytes(conf,
                       Config(m_dir, m_root, m_secondRoot, m_port, m_secondPort, m_httpsPort));
        m_process = std::make_unique<CChildProcess>(
            std::vector<std::string>{"/usr/sbin/nginx", "-p", m_dir.Path(), "-e",
                                     m_dir / "error.log", "-c", conf},
            m_dir / "nginx.out");
        if (WaitForPort(m_port, 10000) && WaitForPort(m_secondPort, 2000) &&
            WaitForPort(m_httpsPort, 2000) && m_process->Running())
            return;
        m_process.reset();
    }
    throw std::runtime_error("nginx did not start: " + ReadAll(m_dir / "error.log") +
                             ReadAll(m_dir / "nginx.out"));
}

CHttpServer::~CHttpServer() {
    m_process.reset();
}

std::string CHttpServer::AccessLog() const {
    return ReadAll(m_dir / "access.log");
}
std::string CHttpServer::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(m_port);
}
std::string CHttpServer::SecondBaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(m_secondPort);
}
std::string CHttpServer::HttpsBaseUrl() const {
    return "https://127.0.0.1:" + std::to_string(m_httpsPort);
}

}  // namespace kolvane::test
