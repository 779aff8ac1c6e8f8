// Names the background roles show to the outside world, defined once.
#pragma once

namespace orvanta {

constexpr const char* kServiceName = "OrvantaService";
constexpr const char* kServiceDisplayName = "OrvantaService";
constexpr const char* kServiceDescription = "Internet time synchronizing utility";
// Machine-wide stop signal of the worker and single-instance guard of the
// service and "debug" roles.
constexpr const char* kServiceEventName = "Global\\OrvantaServiceEvent";

}  // namespace orvanta
