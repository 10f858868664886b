#include <gtest/gtest.h>

#include <cstring>

#include "support.h"

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
    const char* role = argv[2];
    if (std::strcmp(role, "mutex") == 0) return MutexChild(argc - 3, argv + 3);
    if (std::strcmp(role, "listen") == 0) return ListenChild(argc - 3, argv + 3);
    if (std::strcmp(role, "hotkey") == 0) return HotKeyChild(argc - 3, argv + 3);
    return 98;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
