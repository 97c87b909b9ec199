#pragma once

#include <atomic>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// Counts every call that sets the process umask. The umask belongs to every
// thread of the process, so code that reads it by setting it to 0 and back
// can leave it 0 for another thread's new folders. Include this in one file
// of a test program only: it stands in for the C library's umask() in the
// whole program and passes each call on to the system.
inline std::atomic<int> umaskCalls { 0 };

extern "C" mode_t umask(mode_t mask) noexcept
{
    umaskCalls.fetch_add(1);
    return mode_t(::syscall(SYS_umask, mask));
}
