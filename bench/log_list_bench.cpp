// The log list under a real display: appending 128000 lines to a wxDataViewCtrl over the stored
// lines, with a pump every 1000 lines as a run does, and the growth of resident memory against
// the bytes stored. Run under Xvfb (bench/desktop_bench.sh does).
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/frame.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "runwindow/log_model.h"

namespace {

long RssKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

void Pump() {
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    for (int i = 0; loop && i < 500 && loop->Pending(); ++i) loop->Dispatch();
    wxTheApp->ProcessPendingEvents();
}

class CBenchApp : public wxApp {
  public:
    bool OnInit() override {
        auto* frame =
            new wxFrame(nullptr, wxID_ANY, "log list bench", wxDefaultPosition, wxSize(800, 600));
        list = new wxDataViewCtrl(frame, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                  wxDV_SINGLE | wxDV_NO_HEADER);
        model = new kolvane::CLogListModel(log);
        list->AssociateModel(model.get());
        list->AppendTextColumn("Log", 0, wxDATAVIEW_CELL_INERT, 900);
        frame->Show();
        CallAfter([this, frame] {
            Pump();
            const long before = RssKiB();
            std::size_t bytes = 0;
            const auto start = std::chrono::steady_clock::now();
            for (int i = 1; i <= 128000; ++i) {
                std::string line = "    " + std::to_string(i) +
                                   ") ... /srv/kolvane/scan/branch-report-data.txt scanned";
                bytes += line.size();
                log.Append(line);
                model->Sync();
                if (i % 1000 == 0) Pump();
            }
            Pump();
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            const long after = RssKiB();
            std::printf("append 128000 lines (pump per 1000): %.1f ms\n", ms);
            std::printf("stored text: %zu KiB; RSS growth: %ld KiB (%.2fx the stored text)\n",
                        bytes / 1024, after - before,
                        double(after - before) / (double(bytes) / 1024));
            {
                // The stored lines alone, for comparison: what the document costs without a
                // list.
                const long base = RssKiB();
                kolvane::CLogStore alone(128000);
                for (int i = 1; i <= 128000; ++i)
                    alone.Append("    " + std::to_string(i) +
                                 ") ... /srv/kolvane/scan/branch-report-data.txt scanned");
                std::printf("stored lines alone: RSS growth %ld KiB\n", RssKiB() - base);
            }
            frame->Close();
        });
        return true;
    }
    kolvane::CLogStore log{128000};
    wxObjectDataPtr<kolvane::CLogListModel> model;
    wxDataViewCtrl* list = nullptr;
};

}  // namespace

wxIMPLEMENT_APP(CBenchApp);
