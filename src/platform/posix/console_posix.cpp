#include "platform/console.h"

namespace orvanta {

void UseCallerConsole() {}

}  // namespace orvanta
