#include "Platform/Clock/Clock.h"

#include <chrono>

std::uint64_t TSteadyClock::TickCount() const
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

const IClock& SystemClock()
{
    static const TSteadyClock clock;
    return clock;
}

std::uint64_t GetTickCount64()
{
    return SystemClock().TickCount();
}
