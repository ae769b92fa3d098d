// Timing a run for the benchmarks: with KOLVANE_TIMING set in the environment, a host notes
// each log line and, after the run, writes the time from the run's first log line to its last
// to standard error as "kolvane-timing: <milliseconds> ms". Both programs time the same span,
// so their figures compare.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace kolvane {

class CRunTiming {
  public:
    void OnLine() {
        if (!m_bEnabled) return;
        m_last = std::chrono::steady_clock::now();
        if (!m_bAny) m_first = m_last;
        m_bAny = true;
    }
    void Report() {
        if (!m_bEnabled || !m_bAny) return;
        std::fprintf(stderr, "kolvane-timing: %.3f ms\n",
                     std::chrono::duration<double, std::milli>(m_last - m_first).count());
        m_bAny = false;
    }

    bool Enabled() const { return m_bEnabled; }
    // The program's start, noted by main().
    static std::chrono::steady_clock::time_point& Start() {
        static std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
        return start;
    }
    void ReportSinceStart(const char* what) const {
        if (!m_bEnabled) return;
        std::fprintf(
            stderr, "kolvane-timing: %s %.1f ms after start\n", what,
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start())
                .count());
    }

  private:
    bool m_bEnabled = std::getenv("KOLVANE_TIMING") != nullptr;
    bool m_bAny = false;
    std::chrono::steady_clock::time_point m_first, m_last;
};

}  // namespace kolvane
