// Millisecond tick count for timing runs. The count is 64-bit, so it does not
// wrap; it starts at an arbitrary point and never goes backwards.
#pragma once

#include <cstdint>

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds since an arbitrary, fixed starting point.
    virtual std::uint64_t TickCount() const = 0;
};

// The machine's monotonic clock.
class TSteadyClock final : public IClock {
public:
    std::uint64_t TickCount() const override;
};

// A clock that moves only when told to, for tests.
class TManualClock final : public IClock {
public:
    explicit TManualClock(std::uint64_t start = 0) : ticks_(start) {}
    std::uint64_t TickCount() const override { return ticks_; }
    void Advance(std::uint64_t milliseconds) { ticks_ += milliseconds; }
    void Set(std::uint64_t ticks) { ticks_ = ticks; }

private:
    std::uint64_t ticks_;
};

// The steady clock shared by code that is handed no clock of its own.
const IClock& SystemClock();

// SystemClock().TickCount().
std::uint64_t GetTickCount64();
