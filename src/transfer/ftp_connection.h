// One FTP control connection: logged in when opened, then used for directory commands, one
// retrieval into a file written whole or not at all, and a store under a temporary name that
// is renamed over the target when complete. Binary, in active mode; when the active data
// connection cannot be made (PORT and EPRT refused, or the server cannot connect back in time)
// or comes from another address than the control connection's peer (which is refused before a
// byte is read), the transfer is tried once more in passive mode, which the connection keeps
// from then on. A failed or stopped store removes its temporary file when the server still
// lets it, within a bound.
// Commands run relative to the server's current directory, which a change of directory keeps
// for the later commands.
//
// The same connection speaks FTP over TLS (from the first byte, or after AUTH TLS: always in
// passive mode, as libcurl never starts TLS on an active data connection) and SFTP, where the
// directory is the connection's own (SFTP has none) and every name is sent as a whole path.
// SFTP checks the server's host key against ~/.ssh/known_hosts and the system's file and
// refuses an unknown or changed one; it logs in with the password, or, without one, with the
// user's first key of ~/.ssh/id_ed25519, id_ecdsa and id_rsa.
//
// Each operation returns true on success; on a failure of the network or the protocol the
// library's text is in ErrorText() and the code in LastCode(). The connection borrows the
// session that made its handle; the session must outlive it.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "transfer/curl_handles.h"
#include "transfer/file_schemes.h"

namespace kolvane {

class CMyInternetSess;
class ILocalCopy;

class CFtpConnection {
  public:
    CFtpConnection() = default;
    ~CFtpConnection();
    CFtpConnection(const CFtpConnection&) = delete;
    CFtpConnection& operator=(const CFtpConnection&) = delete;

    // Connects to host:port and logs in (FTP: anonymously when `user` is empty, and no
    // password is sent when `password` is empty; SFTP: as the local user when `user` is empty,
    // with the user's key when `password` is empty).
    bool Open(CMyInternetSess& session, EFileProtocol protocol, const std::string& host, int port,
              const std::string& user, const std::string& password);

    // The server's current directory; empty when the server did not say.
    std::string CurrentDirectory();
    // Changes the server's current directory; false when the server refused.
    bool SetCurrentDirectory(const std::string& dir);
    // Retrieves `remote` into `file`, the local copy opened at `local`, committing it only when
    // complete.
    bool GetFile(const std::string& remote, ILocalCopy& file, const std::string& local);
    // Stores the local file as `remote`: first under a temporary name beside it, then renamed
    // (deleting an old `remote` first where the server refuses to rename over it).
    bool PutFile(const std::string& local, const std::string& remote);

    // True when the last failure was the server refusing a file operation (the connection
    // itself still works), false for a failure of the network or the login.
    bool RefusedByServer() const;
    CURLcode LastCode() const { return m_code; }
    std::string ErrorText() const;
    bool Broken() const { return m_bBroken; }
    // SFTP: true when the connection is still good and logged in to host:port as `user` with
    // `password`; it then starts the next file from the login folder again.
    bool ReuseFor(EFileProtocol protocol, const std::string& host, int port,
                  const std::string& user, const std::string& password);
    // True once a transfer was retried in passive mode.
    bool WentPassive() const { return m_bPassive; }
    // True when the last GetFile refused its local file: a link of another user.
    bool RefusedLocalLink() const { return m_bRefusedLocalLink; }
    // The address of a refused active data connection; empty when none came.
    const std::string& ForeignPeer() const { return m_strForeignPeer; }

  private:
    // Runs raw commands (a leading "*" lets a refused command pass); the code of the last reply.
    int Commands(std::initializer_list<std::string> commands);
    bool Perform();
    std::string FileUrl(std::string_view remote) const;
    // After a failed perform: when the active data connection could not be made, switches to
    // passive mode (once) and puts the server back in the directory it was in; true when the
    // transfer may be tried again.
    bool RetryPassive();
    // Deletes the temporary file of a failed store, on a new connection when the old one is
    // gone, within a bound.
    void RemoveTemporary(const std::string& temp);
    static int OnPrerequest(void* self, char* peer, char*, int, int);
    static int OnSocketOption(void* self, curl_socket_t socket, curlsocktype purpose);
    static int OnCloseSocket(void* self, curl_socket_t socket);
    static int OnHostKey(CURL*, const curl_khkey* known, const curl_khkey* found,
                         curl_khmatch match, void* self);
    bool Sftp() const { return m_protocol == EFileProtocol::Sftp; }
    // SFTP: the whole path of `name` (relative names are taken from the connection's directory).
    std::string SftpPath(const std::string& name) const;
    // SFTP: the SSH login (host key file, key or password).
    void SetUpSsh(const std::string& password);

    CMyInternetSess* m_pSession = nullptr;
    EFileProtocol m_protocol = EFileProtocol::Ftp;
    std::string m_strHost;  // as in the URL; with the port for the host key's messages
    int m_nPort = 0;
    std::string m_strUser, m_strPassword;  // of the login, for ReuseFor
    std::string m_strKnownHosts;           // SFTP: the user's known hosts file
    std::string m_strHostKeyNote;          // SFTP: why the host key was refused and what to do
    CurlEasy m_handle;
    std::string m_strBase;     // "ftp://host:port/" (or ftps:// or sftp://)
    std::string m_strReplies;  // the server's reply lines of the last command
    // The directory the server last reported (PWD); SFTP: the connection's own directory.
    std::string m_strWorkDir;
    std::string m_strSftpHome;  // SFTP: the login folder
    std::string m_strPeer;      // the control connection's peer in the current transfer
    std::string m_strForeignPeer;
    // What the server sent on a control connection that libcurl closed without reading it (a
    // refusal sent while the data still went, its data connection cut).
    std::string m_strLastWords;
    int m_nPeerPort = 0;  // the control connection's peer port in the current transfer
    curl_off_t m_maxBody = 0;
    CURLcode m_code = CURLE_OK;
    bool m_bBroken = false;
    bool m_bPassive = false;
    bool m_bRefusedLocalLink = false;
    char m_errorBuffer[CURL_ERROR_SIZE] = {};
};

// The directory check of a fetch and an upload: reads the initial directory, then, unless
// `serverDir` is empty, changes to it and gives the directory the server reports afterwards,
// or the initial directory when the change failed. Empty for an empty `serverDir`.
std::string EnterServerDirectory(CFtpConnection& connection, const std::string& serverDir);

// The directory named in a "257" reply to PWD ("" doubled quotes inside); empty if none.
std::string ParsePwdReply(std::string_view reply);

}  // namespace kolvane
