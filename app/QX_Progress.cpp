#include "app/QX_Progress.h"

#include <string>

namespace Quarix::App {

namespace {
constexpr int kBarWidth = 32;
/// Plain lines come every this many frames.
constexpr int kPlainEvery = 25;
} // namespace

Progress::Progress(int totalFrames, bool terminal, std::FILE* out)
    : m_total(totalFrames > 0 ? totalFrames : 1), m_terminal(terminal), m_out(out) {}

void Progress::Update(int framesDone, int bodiesAlive) {
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_start)
            .count();
    const double perFrame = framesDone > 0 ? ms / framesDone : 0.0;
    if (m_terminal) {
        const int filled = std::min(kBarWidth, framesDone * kBarWidth / m_total);
        std::string bar(size_t(filled), '#');
        bar.append(size_t(kBarWidth - filled), '.');
        std::fprintf(m_out, "\r[%s] frame %d/%d  bodies %d  %.1f ms/frame ", bar.c_str(),
                     framesDone, m_total, bodiesAlive, perFrame);
        std::fflush(m_out);
    } else if (framesDone % kPlainEvery == 0 || framesDone == m_total) {
        if (framesDone == m_lastPrinted)
            return;
        std::fprintf(m_out, "frame %d/%d bodies %d %.1f ms/frame\n", framesDone, m_total,
                     bodiesAlive, perFrame);
    }
    m_lastPrinted = framesDone;
}

void Progress::Finish() {
    if (m_terminal)
        std::fprintf(m_out, "\n");
}

} // namespace Quarix::App
