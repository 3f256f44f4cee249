#pragma once
// Progress of a simulation on stderr: a bar redrawn in place on a terminal (frame, bodies alive,
// ms per frame), plain lines every few frames otherwise (logs and pipes).

#include <chrono>
#include <cstdio>

namespace Quarix::App {

/// Reports frames done out of a total.
class Progress {
public:
    /// `terminal` chooses the redrawn bar; `out` is where it goes (not owned).
    Progress(int totalFrames, bool terminal, std::FILE* out = stderr);
    /// Called after every simulated frame.
    void Update(int framesDone, int bodiesAlive);
    /// Ends the bar's line.
    void Finish();

private:
    int m_total;
    bool m_terminal;
    std::FILE* m_out;
    int m_lastPrinted = -1;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

} // namespace Quarix::App
