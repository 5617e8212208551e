#include <gtest/gtest.h>

#include <QApplication>

// GUI tests never need a display: CTest sets the offscreen platform, and
// test discovery at build time runs without CTest's environment.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
