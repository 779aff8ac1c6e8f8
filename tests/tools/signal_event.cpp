// Signals the service's named event from another process, as an outside
// program that wants the worker to stop would. Exit 0 when signalled, 1 when
// nobody holds it.
#include <cstdio>

#include "platform/last_error.h"
#include "platform/named_event.h"
#include "service/service_names.h"

int main() {
  if (orvanta::SignalNamedEvent(orvanta::kServiceEventName)) return 0;
  std::printf("not signalled: error %lu\n", static_cast<unsigned long>(orvanta::LastError()));
  return 1;
}
