#pragma once

namespace orvanta::test {

// The test process's id, for names that must not collide between runs.
unsigned long CurrentProcessId();

}  // namespace orvanta::test
