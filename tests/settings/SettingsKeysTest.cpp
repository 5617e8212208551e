#include <gtest/gtest.h>

#include <climits>

#include "SettingsKeys.h"
#include "TestFiles.h"
#include "iniacs.h"

namespace {

TEST(SettingsKeys, StoredNumbersBecomePortSpeedAndPlace) {
  // The speed is that of the index used.
  const struct {
    int stored, port, index, baud;
  } cases[] = {
      {-1, 1, 0, 38400},
      {0, 0, 0, 38400},
      {1, 1, 1, 19200},
      {2, 2, 2, 9600},
      {3, 3, 3, 4800},
      {4, 4, 0, 38400},
      {-2, -2, -2, 38400},
      {255, 255, 0, 38400},
      {256, 1, 0, 38400},
      {INT_MAX, 1, 0, 38400},
      {INT_MIN, INT_MIN, INT_MIN, 38400},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ComPortFromStored(c.stored), c.port) << c.stored;
    EXPECT_EQ(BaudIndexFromStored(c.stored), c.index) << c.stored;
    EXPECT_EQ(BaudRateOfIndex(c.index), c.baud) << c.stored;
  }

  const struct {
    int stored, work, window, expected;
  } places[] = {
      {-1, 1920, 400, 760},
      {-1, 800, 901, -50},              // truncation toward zero, not -51
      {-1, INT_MAX, INT_MIN, INT_MAX},  // difference beyond int
      {-1, INT_MIN, INT_MAX, -INT_MAX},
      {0, 1920, 400, 0},
      {-2, 1920, 400, -2},
  };
  for (const auto& c : places) {
    EXPECT_EQ(PlacementFromStored(c.stored, c.work, c.window), c.expected)
        << c.stored << " " << c.work << " " << c.window;
  }
}

TEST(SettingsKeys, ComMapTakesPlainComKeysWithValues) {
  CTempDir dir;
  WriteFile(dir / "zeta7.ini",
            "[com]\ncom1=/dev/not-this\n"
            "[Ports]\r\n"
            "com1=/dev/ttyUSB0\r\n"
            "COM2 = \"/dev/serial/by-id/usb-Maker_Unit 2-if00\"\r\n"
            "com3=\r\n"
            "com0=/dev/zero-is-no-port\r\n"
            "com07=/dev/leading-zero\r\n"
            "com257=/dev/too-high\r\n"
            "com256=/dev/ttyS255\r\n"
            "com1=/dev/second-wins-not\r\n"
            "[ports]\r\ncom4=/dev/later-section\r\n");
  iniacs ini;
  ini.SetPath(dir / "zeta7.ini");
  const std::map<int, std::string> expected = {
      {1, "/dev/ttyUSB0"},
      {2, "/dev/serial/by-id/usb-Maker_Unit 2-if00"},
      {256, "/dev/ttyS255"},
  };
  EXPECT_EQ(ReadComMap(ini), expected);
  ini.SetPath(dir / "none.ini");
  EXPECT_TRUE(ReadComMap(ini).empty());
}

}  // namespace
