#pragma once
// Starting and stopping a world's simulation without its rollout: what a script or the
// command-line tool uses to issue the simulation driver's start request. A world object answers
// Animatable::GetInterface(I_QX_WORLD_CONTROL) with this interface (owned by the plug-in, valid
// while the world object lives). The run itself happens in the host's message loop: a start
// request sets the driver's timer, and every tick the loop delivers advances the simulation.

#include "host/Reference.h"

/// Interface number of IQXWorldControl.
inline constexpr ULONG I_QX_WORLD_CONTROL = 0x51580002;

/// The driver's requests for one world object.
class IQXWorldControl {
public:
    /// Start requests, as the world's mode buttons issue them.
    enum Request {
        kRange = 0,
        kLoop = 1,
        kQuiet = 2,
        kRelax = 3,
        kExtend = 4,
    };

    virtual ~IQXWorldControl() = default;
    /// Issues the driver's start request for this world (StartSimulation(world, request)).
    /// False for a request outside 0..4 (nothing happens then).
    virtual bool StartSimulation(int request) = 0;
    /// Stops the driver's timer (nothing happens when it does not run).
    virtual void StopSimulation() = 0;
    /// True while the driver's timer runs.
    virtual bool IsRunning() = 0;
    /// The driver's frame counter: the next frame to simulate.
    virtual int CurrentFrame() = 0;
};

/// The world-control interface of an animatable (a world object), or null.
inline IQXWorldControl* GetWorldControlInterface(Animatable* anim) {
    return anim ? static_cast<IQXWorldControl*>(anim->GetInterface(I_QX_WORLD_CONTROL)) : nullptr;
}
