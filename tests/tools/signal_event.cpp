// Signals a named event from another process, as an outside program that
// wants the worker to stop would: signal_event [NAME]
// (default: the service's event). Exit 0 when signalled, 1 when nobody holds it.
#include <cstdio>

#include "platform/last_error.h"
#include "platform/named_event.h"
#include "service/service_names.h"

int main(int argc, char** argv) {
  const char* name = argc > 1 ? argv[1] : orvanta::kServiceEventName;
  if (!orvanta::SignalNamedEvent(name)) {
    std::printf("not signalled: error %lu\n", static_cast<unsigned long>(orvanta::LastError()));
    return 1;
  }
  std::printf("signalled %s\n", name);
  return 0;
}
