// One place that turns POSIX errno and resolver codes into the codes the
// program reports, which are the Windows ones, so that callers see the same
// value on both platforms.
#pragma once

#include <cstdint>

namespace orvanta::posix {

uint32_t TranslateErrno(int err);
uint32_t TranslateResolverError(int hErrno);

// Reads errno at once and stores its translation as the last-error value.
void SetLastErrorFromErrno();

}  // namespace orvanta::posix
