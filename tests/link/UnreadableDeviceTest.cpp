// A device node the user may not open: Connect fails like an absent device.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "CComPort.h"
#include "ComResolver.h"
#include "Unprivileged.h"

TEST(UnreadableDeviceTest, OpenIsRefusedAndThePortStaysClosed) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string device = ptsname(master);
  ASSERT_EQ(chmod(device.c_str(), 0), 0);

  const int result = RunUnprivileged([&] {
    SetComMap({{1, device}});
    CComPort port;
    const int opened = port.Open(1);
    return opened == 0 && !port.IsOpen() && port.ReadByte() == 0 ? 0 : 1;
  });
  close(master);
  ASSERT_NE(result, -1) << "could not run without root's rights";
  EXPECT_EQ(result, 0);
}
