// One running program per user and display. The first program holds a lock and listens on a
// local socket in the user's runtime directory, both named after the user and the display; a
// second start hands its rule files over that socket (the first opens each in a new log
// window) and exits.
#pragma once

#include <wx/arrstr.h>
#include <wx/ipc.h>

#include <functional>
#include <memory>

class wxSingleInstanceChecker;

namespace kolvane {

class CSingleInstance {
  public:
    CSingleInstance();
    ~CSingleInstance();

    // True when another program holds the lock for this user and display.
    bool AnotherRunning() const;
    // Sends the files (absolute paths) to the running program; true when it took them.
    bool HandOver(const wxArrayString& files) const;
    // Starts listening; `open` is called on the user-interface thread for each file handed in.
    void Listen(std::function<void(const wxString&)> open);

  private:
    wxString m_strSocket;
    std::unique_ptr<wxSingleInstanceChecker> m_checker;
    std::unique_ptr<wxServer> m_server;
};

}  // namespace kolvane
