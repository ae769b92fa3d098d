// Real servers for the transfer tests, started on 127.0.0.1 with free ports and their
// configuration generated into a temporary directory; each object starts its server in its
// constructor (throwing std::runtime_error when it cannot) and stops it in its destructor.
//
//   CHttpServer   nginx: static GET and WebDAV PUT below Root(), basic auth below /auth/,
//                 redirects, fixed statuses, a second plain server and an HTTPS listener whose
//                 certificate comes from a throwaway CA (SSL_CERT_FILE is set to it).
//   CFtpServer    pyftpdlib: anonymous account on Root(), a user with a password on UserRoot().
//   CRawResponder a socket that answers every request with scripted bytes, then closes, stalls,
//                 resets or drips; for what no real server sends.
//
// Constructing any of them also sets NO_PROXY for 127.0.0.1 in the test process, so that a
// proxy set in the environment is never used.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kolvane::test {

// A directory under the system's temporary directory, removed with its contents.
class CServerDir {
  public:
    explicit CServerDir(std::string_view tag);
    ~CServerDir();
    CServerDir(const CServerDir&) = delete;
    CServerDir& operator=(const CServerDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string operator/(std::string_view name) const { return m_path + "/" + std::string(name); }

  private:
    std::string m_path;
};

// A child process with its output in a log file; killed (SIGTERM, then SIGKILL) and reaped
// when destroyed. It is also killed when the thread that started it ends, so a crashed test
// leaves no server behind: start servers from a thread that outlives them.
class CChildProcess {
  public:
    CChildProcess(const std::vector<std::string>& argv, const std::string& logPath);
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;
    bool Running();
    // Waits for the process to end and returns its wait status.
    int Wait();
    pid_t Pid() const { return m_pid; }

  private:
    pid_t m_pid = -1;
};

// A port on 127.0.0.1 that was free a moment ago (nothing listens on it afterwards either).
int FreePort();
// Waits until something accepts connections on 127.0.0.1:port; false after `timeoutMs`.
bool WaitForPort(int port, int timeoutMs);
// Runs a tool to its end with its output appended to `logPath`; false unless it exited with 0.
bool RunTool(const std::vector<std::string>& argv, const std::string& logPath);
// Makes a throwaway certificate authority (dir/ca.crt) and a server certificate it signed
// (dir/server.crt and dir/server.key) for `altNames` ("IP:127.0.0.1,DNS:localhost"); throws with
// the tools' output when openssl fails.
void MakeCertificates(const CServerDir& dir, const std::string& altNames,
                      const std::string& commonName, const std::string& log);
// Sets NO_PROXY and no_proxy so that no proxy is used for 127.0.0.1 by this process.
void KeepProxiesAway();
// Starts the command `argvFor(port)` on a free port of 127.0.0.1 (its output appended to `log`),
// trying another port when the first was taken; throws, naming `what` and quoting the log, when
// it never listens.
std::unique_ptr<CChildProcess> StartOnFreePort(
    const std::function<std::vector<std::string>(int)>& argvFor, const std::string& log, int& port,
    const char* what);
// The bytes of `path`; empty when it cannot be read.
std::string ReadAll(const std::string& path);
// Writes `bytes` into `path`, creating the parent directories.
void WriteFileBytes(const std::string& path, std::string_view bytes);

class CHttpServer {
  public:
    static constexpr const char* kUser = "webuser";
    static constexpr const char* kPassword = "web secret";

    CHttpServer();
    ~CHttpServer();
    CHttpServer(const CHttpServer&) = delete;
    CHttpServer& operator=(const CHttpServer&) = delete;

    // Files of the main server (plain and HTTPS); PUT writes here too. /auth/ maps to
    // Root()/auth, /readonly/ to Root()/readonly (GET only, PUT answers 405).
    const std::string& Root() const { return m_root; }
    // Files of the second plain server.
    const std::string& SecondRoot() const { return m_secondRoot; }
    int Port() const { return m_port; }
    int SecondPort() const { return m_secondPort; }
    int HttpsPort() const { return m_httpsPort; }
    const std::string& CaFile() const { return m_caFile; }
    // Every request both plain servers answered so far, one "METHOD URI STATUS" line each.
    std::string AccessLog() const;

    // "http://127.0.0.1:<port>" (no slash at the end) and the same with `path` appended.
    std::string BaseUrl() const;
    std::string Url(std::string_view path) const { return BaseUrl() + std::string(path); }
    std::string SecondBaseUrl() const;
    std::string HttpsBaseUrl() const;
    // Paths on the main server (append a file path, e.g. RedirectPath(302) + "/a.txt"):
    //   /r301 /r302 /r303 + /x  redirect to /x on the main server,
    //   /r302second + /x        302 to /x on the second server,
    //   /status/<code>...       answers <code> (403, 404, 405, 500, 503) for any method.
    static std::string RedirectPath(int code) { return "/r" + std::to_string(code); }
    static constexpr const char* kSecondRedirect = "/r302second";
    static std::string StatusPath(int code) { return "/status/" + std::to_string(code); }

  private:
    CServerDir m_dir;
    std::string m_root, m_secondRoot, m_caFile;
    int m_port = 0, m_secondPort = 0, m_httpsPort = 0;
    std::unique_ptr<CChildProcess> m_process;
};

class CFtpServer {
  public:
    static constexpr const char* kUser = "ftpuser";
    static constexpr const char* kPassword = "ftp secret";

    // With `renameOverExisting` false the server refuses RNTO onto an existing file. `refuse`
    // names commands it answers with 550 ("RETR,STOR,RNFR,PORT,EPRT", any of them), while the
    // login and the directory commands work. Without `connectBack` it takes PORT and EPRT but
    // answers the transfer that follows with 425 (passive mode works). `options` go to the
    // script as they are (the hostile and slow behaviours ftp_server.py describes).
    explicit CFtpServer(bool renameOverExisting = true, const std::string& refuse = "",
                        bool connectBack = true, const std::vector<std::string>& options = {});
    ~CFtpServer();
    CFtpServer(const CFtpServer&) = delete;
    CFtpServer& operator=(const CFtpServer&) = delete;

    const std::string& Root() const { return m_root; }          // the anonymous account's home
    const std::string& UserRoot() const { return m_userRoot; }  // kUser's home
    int Port() const { return m_port; }
    // "ftp://127.0.0.1:<port>" and the same with `path` appended.
    std::string BaseUrl() const { return "ftp://127.0.0.1:" + std::to_string(m_port); }
    std::string Url(std::string_view path) const { return BaseUrl() + std::string(path); }

  private:
    CServerDir m_dir;
    std::string m_root, m_userRoot;
    int m_port = 0;
    std::unique_ptr<CChildProcess> m_process;
};

// What the raw responder does after it wrote its reply bytes. Drip sends one byte "x" every
// half second for at most 10 seconds (or until the client goes), then closes; it answers no
// other connection meanwhile.
enum class ERawThen { Close, Stall, Reset, Drip };

struct SRawReply {
    std::string bytes;
    ERawThen then = ERawThen::Close;
};

class CRawResponder {
  public:
    // `answer` gets the request (head and the body its Content-Length announces) and the
    // number of the connection (0, 1, ...), and returns what to send. One request is answered
    // per connection. With `speakFirst` (a server that greets, as FTP does) nothing is read:
    // `answer` gets an empty request and its bytes are sent as soon as the client connects.
    using Answer = std::function<SRawReply(const std::string& request, int connection)>;

    explicit CRawResponder(Answer answer, bool speakFirst = false);
    ~CRawResponder();
    CRawResponder(const CRawResponder&) = delete;
    CRawResponder& operator=(const CRawResponder&) = delete;

    int Port() const { return m_port; }
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    std::string FtpBaseUrl() const { return "ftp://127.0.0.1:" + std::to_string(m_port); }
    std::vector<std::string> Requests();

  private:
    void Serve();

    Answer m_answer;
    bool m_bSpeakFirst = false;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::vector<int> m_held;  // stalled connections, closed when the responder stops
    std::thread m_thread;
};

}  // namespace kolvane::test
