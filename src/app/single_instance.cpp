// The single running program and the hand-over of files.
#include "app/single_instance.h"

#include <unistd.h>
#include <wx/filename.h>
#include <wx/ipc.h>
#include <wx/log.h>
#include <wx/snglinst.h>
#include <wx/tokenzr.h>
#include <wx/utils.h>

namespace kolvane {
namespace {

constexpr const char* kTopic = "open";

// A name safe in a file name for the user and the display.
wxString InstanceKey() {
    wxString display;
    wxGetEnv("DISPLAY", &display);
    if (display.empty()) wxGetEnv("WAYLAND_DISPLAY", &display);
    wxString key =
        wxString::Format("kolvane-%lu-%s", static_cast<unsigned long>(::getuid()), display);
    for (auto it = key.begin(); it != key.end(); ++it)
        if (!wxIsalnum(*it) && *it != '-' && *it != '.') *it = '_';
    return key;
}

wxString RuntimeDir() {
    wxString dir;
    if (wxGetEnv("XDG_RUNTIME_DIR", &dir) && wxFileName::DirExists(dir)) return dir;
    return wxFileName::GetTempDir();
}

class CConnection : public wxConnection {
  public:
    explicit CConnection(const std::function<void(const wxString&)>& open) : m_open(open) {}
    bool OnExecute(const wxString&, const void* data, size_t size, wxIPCFormat) override {
        wxString text = wxString::FromUTF8(static_cast<const char*>(data), size);
        wxStringTokenizer lines(text, "\n", wxTOKEN_STRTOK);
        std::vector<wxString> files;
        while (lines.HasMoreTokens()) files.push_back(lines.GetNextToken());
        // Opened after this request has been answered, so the second program exits at once.
        auto open = m_open;
        wxTheApp->CallAfter([open, files] {
            for (const auto& f : files) open(f);
            if (files.empty()) open(wxString());
        });
        return true;
    }

  private:
    std::function<void(const wxString&)> m_open;
};

class CServer : public wxServer {
  public:
    explicit CServer(std::function<void(const wxString&)> open) : m_open(std::move(open)) {}
    wxConnectionBase* OnAcceptConnection(const wxString& topic) override {
        return topic == kTopic ? new CConnection(m_open) : nullptr;
    }

  private:
    std::function<void(const wxString&)> m_open;
};

}  // namespace

CSingleInstance::CSingleInstance()
    : m_strSocket(RuntimeDir() + "/" + InstanceKey() + ".sock"),
      m_checker(std::make_unique<wxSingleInstanceChecker>(InstanceKey() + ".lock", RuntimeDir())) {}

CSingleInstance::~CSingleInstance() {
    if (m_server) {
        m_server.reset();
        ::unlink(m_strSocket.fn_str());
    }
}

bool CSingleInstance::AnotherRunning() const {
    return m_checker->IsAnotherRunning();
}

bool CSingleInstance::HandOver(const wxArrayString& files) const {
    wxString text;
    for (const auto& f : files) text += f + "\n";
    wxClient client;
    wxLogNull quiet;
    // The first program may still be starting: try for a few seconds.
    for (int attempt = 0; attempt < 30; ++attempt) {
        std::unique_ptr<wxConnectionBase> connection(
            client.MakeConnection("localhost", m_strSocket, kTopic));
        if (connection) {
            const wxScopedCharBuffer utf8 = text.utf8_str();
            bool ok = connection->Execute(utf8.data(), utf8.length());
            connection->Disconnect();
            return ok;
        }
        wxMilliSleep(100);
    }
    return false;
}

void CSingleInstance::Listen(std::function<void(const wxString&)> open) {
    // A socket left by a program that died is in the way of a new one.
    ::unlink(m_strSocket.fn_str());
    wxLogNull quiet;
    auto server = std::make_unique<CServer>(std::move(open));
    if (server->Create(m_strSocket)) m_server = std::move(server);
}

}  // namespace kolvane
