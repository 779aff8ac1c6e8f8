// The test process's id, for names that must not collide between runs.
#pragma once

#include <unistd.h>  // MinGW's too

namespace orvanta::test {

inline unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

}  // namespace orvanta::test
