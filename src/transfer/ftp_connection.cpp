// CFtpConnection over one curl easy handle. libcurl keeps the control connection of the handle
// between performs and, with the "no CWD" file method and relative names, never changes the
// directory itself, so the directory set by SetCurrentDirectory holds for later commands. The
// server's replies come through the header callback; a command prefixed with "*" may be
// refused without failing the perform, so its reply code is read from those lines.
#include "transfer/ftp_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

#include "transfer/remote_transfer.h"
#include "transfer/session.h"

namespace kolvane {
namespace {

size_t OnReplyLine(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

struct SGetTarget {
    ILocalCopy* file = nullptr;
    curl_off_t received = 0;
    curl_off_t max = 0;
    bool tooBig = false;
};

size_t OnFileData(char* data, size_t size, size_t count, void* user) {
    auto* target = static_cast<SGetTarget*>(user);
    target->received += static_cast<curl_off_t>(size * count);
    // The server may not have told the size beforehand: the bound is kept here as well.
    if (target->received > target->max) {
        target->tooBig = true;
        return 0;
    }
    return target->file->Write(std::string_view(data, size * count)) ? size * count : 0;
}

size_t OnReadFile(char* buffer, size_t size, size_t count, void* user) {
    return std::fread(buffer, size, count, static_cast<std::FILE*>(user));
}

struct SFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The code of the last complete reply ("ddd " line) in `lines`; 0 when there is none.
int LastReplyCode(std::string_view lines, std::string* text) {
    int code = 0;
    std::size_t pos = 0;
    while (pos < lines.size()) {
        std::size_t end = lines.find('\n', pos);
        if (end == std::string_view::npos) end = lines.size();
        std::string_view line = lines.substr(pos, end - pos);
        if (line.size() >= 4 && line[3] == ' ' && line[0] >= '1' && line[0] <= '5' &&
            line[1] >= '0' && line[1] <= '9' && line[2] >= '0' && line[2] <= '9') {
            code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
            if (text) *text = std::string(line);
        }
        pos = end + 1;
    }
    return code;
}

// The numeric address as libcurl writes a connection's peer (an IPv4 address mapped into IPv6
// written as IPv4); empty when there is none.
std::string Unmapped(std::string address) {
    if (address.rfind("::ffff:", 0) == 0 && address.find('.') != std::string::npos)
        address.erase(0, 7);
    return address;
}

std::string PeerOf(curl_socket_t fd, int* port = nullptr) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) return {};
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<sockaddr_in*>(&address);
        inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
        if (port) *port = ntohs(in->sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto* in = reinterpret_cast<sockaddr_in6*>(&address);
        inet_ntop(AF_INET6, &in->sin6_addr, text, sizeof text);
        if (port) *port = ntohs(in->sin6_port);
    }
    return Unmapped(text);
}

// The bounds of removing a failed store's temporary file: short when the run is stopping, so
// that the program ends within two seconds of the signal.
constexpr long kCleanupMs = 2000;
constexpr long kStoppedCleanupMs = 600;

// The name a store is written under before its rename: "." name ".kolvane-part" beside the
// target. When that would pass the longest name a folder holds (255 bytes on the usual file
// systems), the name is cut (never inside a UTF-8 sequence) and a hash of the whole name
// follows it, so that two long names with the same start keep apart.
std::string TempNameFor(const std::string& remote) {
    constexpr std::size_t kNameMax = 255;
    constexpr std::string_view kTail = ".kolvane-part";
    const std::size_t slash = remote.rfind('/');
    const std::size_t at = slash == std::string::npos ? 0 : slash + 1;
    const std::string_view base = std::string_view(remote).substr(at);
    std::string name(base);
    if (1 + base.size() + kTail.size() > kNameMax) {
        std::string_view cut = base.substr(0, kNameMax - 1 - kTail.size() - 1 - 16);
        while (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0xC0) == 0x80)
            cut.remove_suffix(1);
        if (!cut.empty() && static_cast<unsigned char>(cut.back()) >= 0xC0) cut.remove_suffix(1);
        char hash[17];
        std::snprintf(hash, sizeof hash, "%016llx",
                      static_cast<unsigned long long>(std::hash<std::string_view>{}(base)));
        name = std::string(cut) + "~" + hash;
    }
    return remote.substr(0, at) + "." + name + std::string(kTail);
}

// The user's home folder: $HOME, else the password database's.
std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') return home;
    const passwd* pw = ::getpwuid(::geteuid());
    return pw != nullptr && pw->pw_dir != nullptr ? pw->pw_dir : "";
}

std::string LoginName() {
    const passwd* pw = ::getpwuid(::geteuid());
    return pw != nullptr && pw->pw_name != nullptr ? pw->pw_name : "";
}

// A path as an SFTP command of libcurl reads it: in double quotes, with '"', '\'' and '\\'
// escaped.
std::string QuotedPath(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '"' || c == '\\' || c == '\'') out += '\\';
        out += c;
    }
    return out + '"';
}

std::string Base64(const unsigned char* data, std::size_t size) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < size; i += 3) {
        const unsigned n = (data[i] << 16) | (i + 1 < size ? data[i + 1] << 8 : 0) |
                           (i + 2 < size ? data[i + 2] : 0);
        out += kDigits[(n >> 18) & 63];
        out += kDigits[(n >> 12) & 63];
        out += i + 1 < size ? kDigits[(n >> 6) & 63] : '=';
        out += i + 2 < size ? kDigits[n & 63] : '=';
    }
    return out;
}

const char* KeyTypeName(curl_khtype type) {
    switch (type) {
        case CURLKHTYPE_RSA:
            return "ssh-rsa";
        case CURLKHTYPE_DSS:
            return "ssh-dss";
        case CURLKHTYPE_ECDSA:
            return "ecdsa-sha2-nistp256";
        case CURLKHTYPE_ED25519:
            return "ssh-ed25519";
        default:
            return "";
    }
}

// True when a known hosts file (the system's) holds `key` for `name` ("host", or "[host]:port"
// off port 22) under a plain name; hashed names and wildcards are left to the user's file.
bool KnownHostsFileHolds(const std::string& file, const std::string& name, const curl_khkey& key) {
    if (key.len == 0) return false;  // a found key always comes raw
    const std::string wanted = Base64(reinterpret_cast<const unsigned char*>(key.key), key.len);
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string names, type, blob;
        if (!(fields >> names >> type >> blob) || names[0] == '#' || names[0] == '@') continue;
        if (blob != wanted || type.rfind(KeyTypeName(key.keytype), 0) != 0) continue;
        std::istringstream each(names);
        for (std::string one; std::getline(each, one, ',');)
            if (one == name) return true;
    }
    return false;
}

}  // namespace

std::string ParsePwdReply(std::string_view reply) {
    if (reply.substr(0, 3) != "257") return {};
    auto open = reply.find('"');
    if (open == std::string_view::npos) return {};
    std::string dir;
    for (std::size_t i = open + 1; i < reply.size(); ++i) {
        if (reply[i] != '"') {
            dir += reply[i];
        } else if (i + 1 < reply.size() && reply[i + 1] == '"') {
            dir += '"';
            ++i;
        } else {
            return dir;
        }
    }
    return {};
}

std::string EnterServerDirectory(CFtpConnection& connection, const std::string& serverDir) {
    std::string initial = connection.CurrentDirectory();
    if (serverDir.empty()) return {};
    if (connection.SetCurrentDirectory(serverDir)) return connection.CurrentDirectory();
    return initial;
}

CFtpConnection::~CFtpConnection() {
    // A stopping run does not wait for the QUIT of a connection made after the stop.
    if (m_pSession != nullptr && m_pSession->Stopping()) m_pSession->CutConnections();
    m_handle.reset();  // its close callback uses the members
}

int CFtpConnection::OnCloseSocket(void* self, curl_socket_t fd) {
    auto* connection = static_cast<CFtpConnection*>(self);
    int port = 0;
    // Only a plain control connection's unread bytes are words of the server.
    if (connection->m_protocol == EFileProtocol::Ftp && connection->m_pSession->Guarded([&] {
            return PeerOf(fd, &port) == connection->m_strPeer && port == connection->m_nPeerPort;
        })) {
        char unread[512];
        const ssize_t n = ::recv(fd, unread, sizeof unread, MSG_DONTWAIT);
        if (n > 0) {
            connection->m_pSession->Guarded([&] {
                connection->m_strLastWords.assign(unread, static_cast<std::size_t>(n));
                return true;
            });
        }
    }
    return connection->m_pSession->CloseSocket(fd);
}

int CFtpConnection::OnPrerequest(void* self, char* peer, char*, int peerPort, int) {
    auto* connection = static_cast<CFtpConnection*>(self);
    const bool kept = connection->m_pSession->Guarded([&] {
        connection->m_strPeer = Unmapped(peer);
        connection->m_nPeerPort = peerPort;
        return true;
    });
    return kept ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
}

int CFtpConnection::OnSocketOption(void* self, curl_socket_t fd, curlsocktype purpose) {
    if (purpose != CURLSOCKTYPE_ACCEPT) return CURL_SOCKOPT_OK;
    // An active data connection is taken only from the control connection's peer: anyone else
    // who reaches the port first would otherwise supply (or receive) the file.
    auto* connection = static_cast<CFtpConnection*>(self);
    const bool same = connection->m_pSession->Guarded([&] {
        const std::string peer = PeerOf(fd);
        if (!peer.empty() && peer == connection->m_strPeer) return true;
        connection->m_strForeignPeer = peer.empty() ? "an unknown address" : peer;
        return false;
    });
    return same ? CURL_SOCKOPT_OK : CURL_SOCKOPT_ERROR;
}

int CFtpConnection::OnHostKey(CURL*, const curl_khkey*, const curl_khkey* found, curl_khmatch match,
                              void* self) {
    auto* connection = static_cast<CFtpConnection*>(self);
    if (match == CURLKHMATCH_OK) return CURLKHSTAT_FINE;
    const bool kept = connection->m_pSession->Guarded([&] {
        std::string host = connection->m_strHost;
        if (host.size() > 2 && host.front() == '[') host = host.substr(1, host.size() - 2);
        const int port = connection->m_nPort;
        const std::string name = port == 22 ? host : "[" + host + "]:" + std::to_string(port);
        if (match == CURLKHMATCH_MISSING &&
            KnownHostsFileHolds("/etc/ssh/ssh_known_hosts", name, *found))
            return true;
        const std::string scan = "ssh-keyscan -p " + std::to_string(port) + " " + host + " >> " +
                                 connection->m_strKnownHosts;
        connection->m_strHostKeyNote =
            match == CURLKHMATCH_MISMATCH
                ? "the host key of " + name + " is not the one " + connection->m_strKnownHosts +
                      " holds; should the server's key have changed on purpose, remove the old "
                      "one (ssh-keygen -R '" +
                      name + "') and add the new one: " + scan
                : "the host key of " + name +
                      " is unknown; check the server's key and add it: " + scan;
        return false;
    });
    return kept ? CURLKHSTAT_FINE : CURLKHSTAT_REJECT;
}

bool CFtpConnection::ReuseFor(EFileProtocol protocol, const std::string& host, int port,
                              const std::string& user, const std::string& password) {
    if (!Sftp() || protocol != m_protocol || m_bBroken || host != m_strHost || port != m_nPort ||
        user != m_strUser || password != m_strPassword)
        return false;
    m_strWorkDir = m_strSftpHome;
    return true;
}

std::string CFtpConnection::SftpPath(const std::string& name) const {
    if (!name.empty() && name.front() == '/') return name;
    if (name == "~" || name.rfind("~/", 0) == 0)  // the login folder
        return (m_strSftpHome.empty() ? std::string("~") : m_strSftpHome) + name.substr(1);
    return (m_strWorkDir.empty() ? std::string("~") : m_strWorkDir) + "/" + name;
}

void CFtpConnection::SetUpSsh(const std::string& password) {
    CURL* c = m_handle.get();
    const std::string home = HomeFolder();
    // Without a known hosts file every key is unknown, so refused; never accepted unchecked.
    m_strKnownHosts = home.empty() ? "/dev/null" : home + "/.ssh/known_hosts";
    curl_easy_setopt(c, CURLOPT_SSH_KNOWNHOSTS, m_strKnownHosts.c_str());
    curl_easy_setopt(c, CURLOPT_SSH_KEYFUNCTION, OnHostKey);
    curl_easy_setopt(c, CURLOPT_SSH_KEYDATA, this);
    if (!password.empty()) {
        curl_easy_setopt(c, CURLOPT_SSH_AUTH_TYPES,
                         static_cast<long>(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
        return;
    }
    // libcurl looks for id_rsa alone, and libssh2 signs RSA keys with SHA-1 only, which
    // current servers refuse: the newer kinds come first.
    curl_easy_setopt(c, CURLOPT_SSH_AUTH_TYPES, static_cast<long>(CURLSSH_AUTH_PUBLICKEY));
    for (const char* kind : {"id_ed25519", "id_ecdsa", "id_rsa"}) {
        const std::string key = home + "/.ssh/" + kind;
        if (home.empty() || ::access(key.c_str(), R_OK) != 0) continue;
        curl_easy_setopt(c, CURLOPT_SSH_PRIVATE_KEYFILE, key.c_str());
        const std::string pub = key + ".pub";
        if (::access(pub.c_str(), R_OK) == 0)
            curl_easy_setopt(c, CURLOPT_SSH_PUBLIC_KEYFILE, pub.c_str());
        break;
    }
}

bool CFtpConnection::Open(CMyInternetSess& session, EFileProtocol protocol, const std::string& host,
                          int port, const std::string& user, const std::string& password) {
    m_pSession = &session;
    m_protocol = protocol;
    m_strHost = host;
    m_nPort = port;
    m_strUser = user;
    m_strPassword = password;
    // A TLS or SSH socket is not cut: the library writing on it could raise SIGPIPE.
    m_handle = session.NewHandle(false, /*cutOnStop=*/protocol == EFileProtocol::Ftp);
    if (!m_handle) {
        m_code = CURLE_OUT_OF_MEMORY;
        m_bBroken = true;
        return false;
    }
    CURL* c = m_handle.get();
    m_maxBody = session.Limits().maxBodyBytes;
    const char* scheme = protocol == EFileProtocol::Sftp           ? "sftp://"
                         : protocol == EFileProtocol::FtpsImplicit ? "ftps://"
                                                                   : "ftp://";
    m_strBase = scheme + host + ":" + std::to_string(port) + "/";
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, m_errorBuffer);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, OnReplyLine);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &m_strReplies);
    if (protocol == EFileProtocol::Ftp) curl_easy_setopt(c, CURLOPT_FTPPORT, "-");
    if (protocol == EFileProtocol::FtpsExplicit)
        curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    curl_easy_setopt(c, CURLOPT_PREREQFUNCTION, OnPrerequest);
    curl_easy_setopt(c, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(c, CURLOPT_SOCKOPTFUNCTION, OnSocketOption);
    curl_easy_setopt(c, CURLOPT_SOCKOPTDATA, this);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, OnCloseSocket);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, 0L);
    const std::string login = user.empty() && Sftp() ? LoginName() : user;
    if (!login.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, login.c_str());
        if (!password.empty()) curl_easy_setopt(c, CURLOPT_PASSWORD, password.c_str());
    }
    if (Sftp()) SetUpSsh(password);
    curl_easy_setopt(c, CURLOPT_URL, m_strBase.c_str());
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    bool ok = Perform();
    m_pSession->RethrowKept();
    return ok;
}

// What a callback kept during the perform (the run host's pump may throw) is thrown by the
// caller once the handle holds no pointer to its locals any more.
bool CFtpConnection::Perform() {
    m_errorBuffer[0] = '\0';
    m_strReplies.clear();
    m_strLastWords.clear();
    m_code = m_pSession->Perform(m_handle.get());
    if (m_code != CURLE_OK && !RefusedByServer()) m_bBroken = true;
    return m_code == CURLE_OK;
}

std::string CFtpConnection::ErrorText() const {
    // libcurl (7.88) writes the note "sa_addr inet_ntop() failed ..." into the error buffer
    // while it sets up every active-mode data connection, harmlessly, and keeps only the first
    // text of a transfer: any later failure (a file over the bound, a stall, a reset) would be
    // named by that note. The code's own text names the real failure then.
    std::string text = std::strncmp(m_errorBuffer, "sa_addr inet_ntop() failed", 26) == 0
                           ? curl_easy_strerror(m_code)
                           : CurlErrorText(m_code, m_errorBuffer);
    if (m_code == CURLE_PEER_FAILED_VERIFICATION && !m_strHostKeyNote.empty())
        return text + ": " + m_strHostKeyNote;
    // The server's own reason for refusing, when it gave one ("452 Disk full" in mid-store).
    std::string reply;
    if (LastReplyCode(m_strReplies, &reply) >= 400 ||
        LastReplyCode(m_strLastWords, &reply) >= 400) {
        while (!reply.empty() && (reply.back() == '\r' || reply.back() == '\n')) reply.pop_back();
        if (text.find(reply) == std::string::npos) text += ": " + reply;
    }
    return text;
}

bool CFtpConnection::RefusedByServer() const {
    switch (m_code) {
        case CURLE_REMOTE_FILE_NOT_FOUND:
        case CURLE_REMOTE_ACCESS_DENIED:
        case CURLE_FTP_COULDNT_RETR_FILE:
        case CURLE_UPLOAD_FAILED:
        case CURLE_QUOTE_ERROR:
        case CURLE_WRITE_ERROR:
        case CURLE_READ_ERROR:
            return true;
        default:
            return false;
    }
}

int CFtpConnection::Commands(std::initializer_list<std::string> commands) {
    if (!m_handle || m_bBroken) return 0;
    CCurlList list;
    for (const auto& cmd : commands)
        if (!list.Append(cmd)) return 0;
    CURL* c = m_handle.get();
    // SFTP's "pwd" names the URL's folder: "~/" makes it the login folder.
    const std::string url = Sftp() ? m_strBase + "~/" : m_strBase;
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(c, CURLOPT_QUOTE, list.get());
    bool ok = Perform();
    curl_easy_setopt(c, CURLOPT_QUOTE, nullptr);
    m_pSession->RethrowKept();  // after the handle lets go of the list
    if (!ok) return 0;
    const int code = LastReplyCode(m_strReplies, nullptr);
    return code == 0 && Sftp() ? 200 : code;  // SFTP answers only "pwd" in words
}

std::string CFtpConnection::CurrentDirectory() {
    if (Sftp() && !m_strWorkDir.empty()) return m_strWorkDir;
    if (Commands({Sftp() ? "pwd" : "PWD"}) != 257) return {};
    std::string line;
    LastReplyCode(m_strReplies, &line);
    std::string dir = ParsePwdReply(line);
    if (Sftp() && dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (!dir.empty()) m_strWorkDir = dir;
    if (Sftp()) m_strSftpHome = dir;  // SFTP's pwd names the login folder
    return dir;
}

bool CFtpConnection::SetCurrentDirectory(const std::string& dir) {
    if (Sftp()) {
        // SFTP has no directory of its own: a folder that the server can tell about is kept.
        const std::string path = SftpPath(dir);
        if (Commands({"statvfs " + QuotedPath(path)}) != 200) return false;
        m_strWorkDir = path;
        return true;
    }
    int code = Commands({"*CWD " + dir});
    return code >= 200 && code < 300;
}

std::string CFtpConnection::FileUrl(std::string_view name) const {
    // With the "no CWD" method the whole decoded path is the name sent to the server; SFTP
    // takes the decoded path after the host, "/~/" standing for the home folder.
    std::string path = Sftp() ? SftpPath(std::string(name)) : std::string(name);
    if (Sftp() && path.front() == '/') path.erase(0, 1);
    const std::string_view remote = path;
    char* escaped =
        curl_easy_escape(m_handle.get(), remote.data(), static_cast<int>(remote.size()));
    if (escaped == nullptr) return {};
    std::string url = m_strBase + escaped;
    curl_free(escaped);
    return url;
}

bool CFtpConnection::RetryPassive() {
    // PORT and EPRT refused, the server's connection never came, or the server saying that it
    // cannot open the data connection (425, in answer to RETR or STOR).
    // A data connection from a foreign address was refused.
    const bool activeFailed =
        m_code == CURLE_FTP_PORT_FAILED || m_code == CURLE_FTP_ACCEPT_FAILED ||
        m_code == CURLE_FTP_ACCEPT_TIMEOUT || LastReplyCode(m_strReplies, nullptr) == 425 ||
        !m_strForeignPeer.empty();
    if (m_protocol != EFileProtocol::Ftp || m_bPassive || !activeFailed || m_pSession->Stopping())
        return false;
    m_bPassive = true;
    m_bBroken = false;
    curl_easy_setopt(m_handle.get(), CURLOPT_FTPPORT, nullptr);
    // Should libcurl have dropped the control connection, the next command logs in anew, in
    // the login directory.
    if (m_strWorkDir.empty()) return true;
    const CURLcode failure = m_code;
    const std::string text = ErrorText();
    if (Commands({"*CWD " + m_strWorkDir}) / 100 == 2) return true;
    if (!m_bBroken) {  // report the failed transfer, not the refused change of directory
        m_code = failure;
        std::snprintf(m_errorBuffer, sizeof m_errorBuffer, "%s", text.c_str());
    }
    return false;
}

bool CFtpConnection::GetFile(const std::string& remote, ILocalCopy& file,
                             const std::string& local) {
    if (!m_handle || m_bBroken) return false;
    SGetTarget target;
    target.file = &file;
    target.max = m_maxBody;
    m_bRefusedLocalLink = false;
    if (!file.IsOpen()) {
        m_code = CURLE_WRITE_ERROR;
        m_bRefusedLocalLink = file.RefusedLink();
        std::snprintf(m_errorBuffer, sizeof m_errorBuffer, "cannot create a file beside %s",
                      local.c_str());
        return false;
    }
    CURL* c = m_handle.get();
    const std::string url = FileUrl(remote);
    auto attempt = [&] {
        curl_easy_setopt(c, CURLOPT_URL, url.c_str());
        curl_easy_setopt(c, CURLOPT_NOBODY, 0L);
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, OnFileData);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &target);
        bool done = Perform();
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, nullptr);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, nullptr);
        return done;
    };
    // No data came before the data connection failed, so the file is still empty.
    bool ok = attempt() || (RetryPassive() && attempt());
    m_pSession->RethrowKept();
    if (target.tooBig) {
        m_code = CURLE_FILESIZE_EXCEEDED;
        m_bBroken = true;
        std::snprintf(m_errorBuffer, sizeof m_errorBuffer, "the file is larger than %lld bytes",
                      static_cast<long long>(m_maxBody));
        return false;
    }
    if (!ok) return false;
    if (!file.Commit()) {
        m_code = CURLE_WRITE_ERROR;
        std::snprintf(m_errorBuffer, sizeof m_errorBuffer, "cannot write %s", local.c_str());
        return false;
    }
    return true;
}

bool CFtpConnection::PutFile(const std::string& local, const std::string& remote) {
    if (!m_handle || m_bBroken) return false;
    std::unique_ptr<std::FILE, SFileCloser> in(std::fopen(local.c_str(), "rb"));
    if (!in) {
        m_code = CURLE_READ_ERROR;
        std::snprintf(m_errorBuffer, sizeof m_errorBuffer, "cannot open %s", local.c_str());
        return false;
    }
    const std::string temp = TempNameFor(remote);
    CCurlList rename;
    if (!Sftp() && (!rename.Append("RNFR " + temp) || !rename.Append("*RNTO " + remote))) {
        m_code = CURLE_OUT_OF_MEMORY;
        return false;
    }
    CURL* c = m_handle.get();
    const std::string url = FileUrl(temp);
    auto attempt = [&] {
        std::rewind(in.get());
        curl_easy_setopt(c, CURLOPT_URL, url.c_str());
        curl_easy_setopt(c, CURLOPT_NOBODY, 0L);
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, OnReadFile);
        curl_easy_setopt(c, CURLOPT_READDATA, in.get());
        if (!Sftp()) curl_easy_setopt(c, CURLOPT_POSTQUOTE, rename.get());
        bool done = Perform();
        curl_easy_setopt(c, CURLOPT_UPLOAD, 0L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, nullptr);
        curl_easy_setopt(c, CURLOPT_READDATA, nullptr);
        curl_easy_setopt(c, CURLOPT_POSTQUOTE, nullptr);
        return done;
    };
    bool ok = attempt() || (RetryPassive() && attempt());
    const std::string renameTo =
        "rename " + QuotedPath(SftpPath(temp)) + " " + QuotedPath(SftpPath(remote));
    if (ok &&
        (Sftp() ? Commands({renameTo}) == 200 : LastReplyCode(m_strReplies, nullptr) / 100 == 2))
        return true;
    if (ok) {
        // Stored, but the server would not rename over the old file: delete it, rename again.
        int code = Sftp() ? Commands({"*rm " + QuotedPath(SftpPath(remote)), renameTo})
                          : Commands({"*DELE " + remote, "RNFR " + temp, "*RNTO " + remote});
        if (code / 100 == 2) return true;
        m_code = CURLE_QUOTE_ERROR;
        std::snprintf(m_errorBuffer, sizeof m_errorBuffer, "the server refused to rename %s",
                      temp.c_str());
    }
    CURLcode failure = m_code;
    std::string text = ErrorText();
    RemoveTemporary(temp);
    m_code = failure;
    std::snprintf(m_errorBuffer, sizeof m_errorBuffer, "%s", text.c_str());
    m_strReplies.clear();
    m_pSession->RethrowKept();  // the hard stop, once the temporary file is gone
    return false;
}

void CFtpConnection::RemoveTemporary(const std::string& temp) {
    CCurlList commands;
    if (Sftp()) {
        if (!commands.Append("*rm " + QuotedPath(SftpPath(temp)))) return;
    } else {
        // A new connection logs in to the login directory: go back to the store's.
        if (!m_strWorkDir.empty() && !commands.Append("*CWD " + m_strWorkDir)) return;
        if (!commands.Append("*DELE " + temp)) return;
    }
    const bool stopping = m_pSession->Stopping();
    CURL* c = m_handle.get();
    curl_easy_setopt(c, CURLOPT_URL, m_strBase.c_str());
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(c, CURLOPT_QUOTE, commands.get());
    // A stopped transfer's control connection may be waiting for an answer that is not the
    // DELE's: a new one is made.
    curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, stopping ? 1L : 0L);
    m_errorBuffer[0] = '\0';
    m_pSession->PerformBounded(c, stopping ? kStoppedCleanupMs : kCleanupMs);
    curl_easy_setopt(c, CURLOPT_QUOTE, nullptr);
    curl_easy_setopt(c, CURLOPT_FRESH_CONNECT, 0L);
}

}  // namespace kolvane
