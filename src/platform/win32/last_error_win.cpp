#include "platform/last_error.h"

#include <windows.h>

namespace orvanta {

uint32_t LastError() { return ::GetLastError(); }

void SetLastError(uint32_t code) { ::SetLastError(code); }

}  // namespace orvanta
