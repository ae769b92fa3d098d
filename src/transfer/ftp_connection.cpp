// CFtpConnection over one curl easy handle. libcurl keeps the control connection of the handle
// between performs and, with the "no CWD" file method and relative names, never changes the
// directory itself, so the directory set by SetCurrentDirectory holds for later commands. The
// server's replies come through the header callback; a command prefixed with "*" may be
// refused without failing the perform, so its reply code is read from those lines.
#include "transfer/ftp_connection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>

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

std::string TempNameFor(const std::string& remote) {
    auto slash = remote.rfind('/');
    std::size_t at = slash == std::string::npos ? 0 : slash + 1;
    return remote.substr(0, at) + "." + remote.substr(at) + ".kolvane-part";
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
    if (connection->m_pSession->Guarded([&] {
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

bool CFtpConnection::Open(CMyInternetSess& session, const std::string& host, int port,
                          const std::string& user, const std::string& password) {
    m_pSession = &session;
    m_handle = session.NewHandle(false, /*cutOnStop=*/true);
    if (!m_handle) {
        m_code = CURLE_OUT_OF_MEMORY;
        m_bBroken = true;
        return false;
    }
    CURL* c = m_handle.get();
    m_maxBody = session.Limits().maxBodyBytes;
    m_strBase = "ftp://" + host + ":" + std::to_string(port) + "/";
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, m_errorBuffer);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, OnReplyLine);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &m_strReplies);
    curl_easy_setopt(c, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(c, CURLOPT_PREREQFUNCTION, OnPrerequest);
    curl_easy_setopt(c, CURLOPT_PREREQDATA, this);
    curl_easy_setopt(c, CURLOPT_SOCKOPTFUNCTION, OnSocketOption);
    curl_easy_setopt(c, CURLOPT_SOCKOPTDATA, this);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, OnCloseSocket);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, this);
    curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, 0L);
    if (!user.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, user.c_str());
        if (!password.empty()) curl_easy_setopt(c, CURLOPT_PASSWORD, password.c_str());
    }
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
    curl_easy_setopt(c, CURLOPT_URL, m_strBase.c_str());
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(c, CURLOPT_QUOTE, list.get());
    bool ok = Perform();
    curl_easy_setopt(c, CURLOPT_QUOTE, nullptr);
    m_pSession->RethrowKept();  // after the handle lets go of the list
    return ok ? LastReplyCode(m_strReplies, nullptr) : 0;
}

std::string CFtpConnection::CurrentDirectory() {
    if (Commands({"PWD"}) != 257) return {};
    std::string line;
    LastReplyCode(m_strReplies, &line);
    std::string dir = ParsePwdReply(line);
    if (!dir.empty()) m_strWorkDir = dir;
    return dir;
}

bool CFtpConnection::SetCurrentDirectory(const std::string& dir) {
    int code = Commands({"*CWD " + dir});
    return code >= 200 && code < 300;
}

std::string CFtpConnection::FileUrl(std::string_view remote) const {
    // With the "no CWD" method the whole decoded path is the name sent to the server.
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
    if (m_bPassive || !activeFailed || m_pSession->Stopping()) return false;
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
    if (!rename.Append("RNFR " + temp) || !rename.Append("*RNTO " + remote)) {
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
        curl_easy_setopt(c, CURLOPT_POSTQUOTE, rename.get());
        bool done = Perform();
        curl_easy_setopt(c, CURLOPT_UPLOAD, 0L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, nullptr);
        curl_easy_setopt(c, CURLOPT_READDATA, nullptr);
        curl_easy_setopt(c, CURLOPT_POSTQUOTE, nullptr);
        return done;
    };
    bool ok = attempt() || (RetryPassive() && attempt());
    if (ok && LastReplyCode(m_strReplies, nullptr) / 100 == 2) return true;
    if (ok) {
        // Stored, but the server would not rename over the old file: delete it, rename again.
        int code = Commands({"*DELE " + remote, "RNFR " + temp, "*RNTO " + remote});
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
    // A new connection logs in to the login directory: go back to the store's.
    if (!m_strWorkDir.empty() && !commands.Append("*CWD " + m_strWorkDir)) return;
    if (!commands.Append("*DELE " + temp)) return;
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
