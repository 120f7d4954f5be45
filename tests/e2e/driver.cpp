#include "driver.h"

// The driver's entry: the build links every program with -municode, which asks for wmain, and
// gtest_main only offers main.
int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  // A balloon is read through the accessibility interfaces as screen readers do, over COM.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  return RUN_ALL_TESTS();
}
