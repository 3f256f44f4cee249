#pragma once
// The world's "World" rollout opened as the command panel opens it when the world is edited, so
// that a run is started and stopped by pressing its mode buttons as a user does.

#include <string>

class Interface;
class INode;
class HostWindow;

namespace Quarix::App {

/// Control ids of the mode buttons of the world's "World" rollout.
namespace WorldButton {
inline constexpr int Range = 1005;
inline constexpr int Quiet = 1028;
inline constexpr int Relax = 1023;
} // namespace WorldButton

/// Keeps the world's rollouts open while it lives. Open() is false when the plug-in opens no
/// "World" rollout for the world (an older plug-in): callers then issue start requests instead.
class WorldPanel {
public:
    /// Opens the rollouts of `world`'s object in `ip` (both must outlive the panel).
    WorldPanel(Interface& ip, INode& world);
    /// Closes the rollouts.
    ~WorldPanel();
    WorldPanel(const WorldPanel&) = delete;
    WorldPanel& operator=(const WorldPanel&) = delete;

    /// Whether the "World" rollout is open.
    bool Open() const { return m_rollout != nullptr; }
    /// Clicks mode button `id` and lets the message loop deliver the click; false with `error`
    /// when the rollout is closed or the button refuses the click (missing or disabled).
    bool Press(int id, std::string& error);
    /// Whether mode button `id` is pressed in.
    bool Pressed(int id) const;

private:
    Interface& m_ip;
    INode& m_world;
    HostWindow* m_rollout = nullptr;
};

} // namespace Quarix::App
