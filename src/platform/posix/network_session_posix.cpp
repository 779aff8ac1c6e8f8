#include "platform/network_session.h"

namespace orvanta {

NetworkSession::NetworkSession() : started_(true) {}

NetworkSession::~NetworkSession() = default;

}  // namespace orvanta
