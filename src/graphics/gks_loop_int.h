// The clock of the frame delays and of the hold loop (not a public interface
// of the kernel): the kernel sleeps and reads the time only through it, so
// that tests can run the waits on a clock of their own.
#pragma once

namespace gks_clock {

struct Clock {
    int (*sleep)(float secs); // sleeps; 0, or -1 without sleeping for secs <= 0
    int (*init_time)();       // restarts the elapsed-time clock
    float (*elapse_time)();   // seconds since init_time
    double (*now)();          // the current time in seconds
};

// The clock in use: the process's real one unless a test set another.
const Clock &get();
// Replaces the clock; null gives the real one back.
void set(const Clock *clock);

} // namespace gks_clock
