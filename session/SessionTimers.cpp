#include "session/SessionTimers.h"

namespace {

class RunLoopSessionTimer final : public SessionTimer {
public:
    RunLoopSessionTimer(
        double seconds, bool repeats, platform::RunLoopModes modes, std::function<void()> tick)
        : timer_(seconds, repeats, modes, std::move(tick))
    {
        timer_.start();
    }

private:
    platform::RunLoopTimer timer_;
};

} // namespace

SessionTimerFactory runLoopTimers()
{
    return [](double seconds, bool repeats, platform::RunLoopModes modes, std::function<void()> tick) {
        return std::unique_ptr<SessionTimer>(
            std::make_unique<RunLoopSessionTimer>(seconds, repeats, modes, std::move(tick)));
    };
}
