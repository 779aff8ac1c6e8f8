// A sleeper that takes no time: each pause becomes "sleep <ms>" in a log the
// test shares with its other fakes, so the pause is checked in its place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sleeper.h"

namespace orvanta::test {

class RecordingSleeper : public Sleeper {
 public:
  explicit RecordingSleeper(std::vector<std::string>& log) : log_(log) {}
  void Sleep(uint32_t milliseconds) override { log_.push_back("sleep " + std::to_string(milliseconds)); }

 private:
  std::vector<std::string>& log_;
};

}  // namespace orvanta::test
