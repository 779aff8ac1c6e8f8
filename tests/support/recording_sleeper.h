// A sleeper that takes no time: each pause becomes "sleep <ms>" in a log the
// test shares with its other fakes, so the pause is checked in its place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sleeper.h"

namespace orvanta::test {

struct RecordingSleeper : Sleeper {
  explicit RecordingSleeper(std::vector<std::string>& into) : log(into) {}
  void Sleep(uint32_t milliseconds) override { log.push_back("sleep " + std::to_string(milliseconds)); }
  std::vector<std::string>& log;
};

}  // namespace orvanta::test
