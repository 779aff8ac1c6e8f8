// Entry point of every test program: starts the network layer once (Winsock
// on Windows) before the tests and ends it after them.
#include <gtest/gtest.h>

#include "platform/network_session.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  orvanta::NetworkSession network;
  return RUN_ALL_TESTS();
}
