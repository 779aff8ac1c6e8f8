// The service host's view of the real platform: the service side of the
// platform, worker threads that are never joined, and real sleeps.
#pragma once

#include "service/service_host.h"

namespace orvanta {

ServicePlatform& SystemServicePlatform();

}  // namespace orvanta
