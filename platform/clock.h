// The millisecond clock: CLOCK_MONOTONIC in milliseconds, wrapping at 2^32.
// Tests switch to a fake clock that only moves when they move it.
#pragma once

#include <cstdint>

namespace platform {

uint32_t TimeMs();

// Fake clock for tests: after SetFakeClock, TimeMs answers the fake value.
void SetFakeClock(uint32_t now);
void AdvanceFakeClock(uint32_t ms);
void UseRealClock();
bool FakeClockActive();

}  // namespace platform
