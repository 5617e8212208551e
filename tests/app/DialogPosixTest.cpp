// The main window against what only POSIX devices show: the line settings
// read back through the kernel, and devices that are missing, not
// terminals, or held by another program.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "DialogFixture.h"

namespace {

// A speed index outside the list (kept from the settings file) opens the
// line at 38400 bit/s. The line settings are read through a second handle,
// which the exclusive open allows only to root.
TEST_F(DialogTest, SpeedIndexOutsideTheListConnectsAt38400) {
  for (const auto& [stored, speed] : {std::pair{"-2", B38400}, std::pair{"3", B4800}}) {
    SCOPED_TRACE(stored);
    StartUnit();
    WriteFile(Ini(), ComMappingText(1, UnitLink()) + "[com]\nbps=" + stored + "\n");
    Open();
    Click(IDC_BUTTON_CONNECT);
    EXPECT_EQ(Controls(), kConnected);
    const int fd = open(m_sim.DevicePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) GTEST_SKIP() << "only root may look at a port held exclusively";
    termios tio{};
    EXPECT_EQ(tcgetattr(fd, &tio), 0);
    close(fd);
    EXPECT_EQ(cfgetospeed(&tio), speed);
  }
}

// Every way the port can fail to open names the port, with all six
// connection controls off while the box is up. A device held by a failed
// open is let go by the next Connect, so repeated attempts leak nothing.
TEST_F(DialogTest, OpenFailuresNameThePort) {
  StartUnit();
  CComPort holder;
  holder.SetComMap({{9, m_sim.DevicePath()}});
  const std::string devices[] = {"/nonexistent/tty", "/dev/null", m_sim.DevicePath()};
  for (const std::string& device : devices) {
    SCOPED_TRACE(device);
    WriteFile(Ini(), ComMappingText(9, device) + "[com]\ncom=9\n");
    Open();
    if (device == m_sim.DevicePath()) {
      ASSERT_EQ(holder.Open(9), 1);
    }
    Click(IDC_BUTTON_CONNECT);
    Click(IDC_BUTTON_CONNECT);
    ASSERT_EQ(m_boxes.m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes.m_boxes[1].type, kError);
    EXPECT_EQ(m_boxes.m_boxes[1].snapshot, kOpening);
    EXPECT_EQ(Shown(), Texts(2, "COM9がオープンできません。"));
    EXPECT_EQ(Controls(), kDisconnected);
  }
  holder.Close();
  Click(IDC_BUTTON_CONNECT);
  EXPECT_EQ(Shown(), Texts{});
  EXPECT_EQ(Controls(), kConnected);
}

// A failed handshake leaves the device held: no other program gets it
// until the window's next Connect or its end.
TEST_F(DialogTest, FailedHandshakeKeepsThePortHeld) {
  OpenWithUnit({"--silent"});
  Click(IDC_BUTTON_CONNECT);
  EXPECT_EQ(Shown(), Texts{kCannotTalk});
  CComPort other;
  other.SetComMap({{1, m_sim.DevicePath()}});
  EXPECT_EQ(other.Open(1), 0);
  m_driver.reset();
  m_dialog.reset();
  EXPECT_EQ(other.Open(1), 1);
}

}  // namespace
