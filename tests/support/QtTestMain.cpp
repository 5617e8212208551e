#include <gtest/gtest.h>

#include <QApplication>

#include "TestEnvironment.h"

// GUI tests never need a display.
int main(int argc, char** argv) {
  PrepareTestEnvironment();
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
