// The main window against what only POSIX devices show: the line settings
// read back through the kernel, devices that are missing, not terminals, or
// held by another program, and a unit of the test's own on a
// pseudo-terminal.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "DialogFixture.h"
#include "Unprivileged.h"

namespace {

// A unit behind a pseudo-terminal that answers in the window's own waits,
// for replies the simulated unit does not give: each wait takes what the
// window has sent and answers every complete line with its echo, a reply
// (none for the empty line) and the prompt, all waiting before the reads
// begin. Time is virtual: the waits do not sleep.
class CUnitInTheWaits : public CClock {
 public:
  CUnitInTheWaits() {
    char name[128];
    m_nMaster = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_nMaster != -1 && grantpt(m_nMaster) == 0 && unlockpt(m_nMaster) == 0 &&
        ptsname_r(m_nMaster, name, sizeof name) == 0) {
      m_strDevice = name;
    }
  }
  ~CUnitInTheWaits() override {
    if (m_nMaster != -1) close(m_nMaster);
  }
  const std::string& Device() const { return m_strDevice; }

  void Sleep(int) override {
    char buf[256];
    ssize_t n;
    while ((n = read(m_nMaster, buf, sizeof buf)) > 0) m_strReceived.append(buf, n);
    for (size_t end; (end = m_strReceived.find("\r\n")) != std::string::npos;) {
      const std::string line = m_strReceived.substr(0, end);
      m_strReceived.erase(0, end + 2);
      const std::string answer =
          line + "\r\n" + (line.empty() ? "" : Reply(line) + "\r\n") + "ZETA7>";
      ASSERT_EQ(write(m_nMaster, answer.data(), answer.size()),
                static_cast<ssize_t>(answer.size()));
    }
  }

  std::string m_strWriteReply = "OK";

 private:
  std::string Reply(const std::string& line) const {
    if (line == "V") return "V1";
    if (line[0] == 'S') return m_strWriteReply;
    return "";
  }

  int m_nMaster = -1;
  std::string m_strDevice;
  std::string m_strReceived;
};

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
// connection controls off while the box is up, and says below it where the
// number leads and why it does not open there. A device held by a failed
// open is let go by the next Connect, so repeated attempts leak nothing.
TEST_F(DialogTest, OpenFailuresNameThePortAndTheReason) {
  StartUnit();
  CComPort holder;
  holder.SetComMap({{9, m_sim.DevicePath()}});
  const struct {
    std::string device;
    std::string reason;
  } cases[] = {
      {"/nonexistent/tty", "理由: デバイスがありません ("},
      {"/dev/null", "理由: シリアルデバイスではありません"},
      {m_sim.DevicePath(), "理由: 他のプログラムが使用中です (pid " + std::to_string(getpid())},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.device);
    WriteFile(Ini(), ComMappingText(9, c.device) + "[com]\ncom=9\n");
    Open();
    if (c.device == m_sim.DevicePath()) {
      ASSERT_EQ(holder.Open(9), 1);
    }
    Click(IDC_BUTTON_CONNECT);
    Click(IDC_BUTTON_CONNECT);
    ASSERT_EQ(m_boxes.m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes.m_boxes[1].type, kError);
    EXPECT_EQ(m_boxes.m_boxes[1].snapshot, kOpening);
    const std::string& detail = m_boxes.m_boxes[1].detail;
    EXPECT_EQ(detail.rfind("デバイス: " + c.device + " ([ports] com9)\n" + c.reason, 0), 0u)
        << detail;
    EXPECT_EQ(Shown(), Texts(2, "COM9がオープンできません。"));
    EXPECT_EQ(Controls(), kDisconnected);
  }
  holder.Close();
  Click(IDC_BUTTON_CONNECT);
  EXPECT_EQ(Shown(), Texts{});
  EXPECT_EQ(Controls(), kConnected);
}

// A device the user may not open: the reason names the device's group.
// The window runs in a child process without root's rights.
TEST_F(DialogTest, OpenFailureForPermissionNamesTheGroup) {
  StartUnit();
  ASSERT_EQ(chmod(m_sim.DevicePath().c_str(), 0660), 0);
  WriteFile(Ini(), ComMappingText(1, m_sim.DevicePath()));
  ASSERT_EQ(chmod(m_dir.Path().c_str(), 0777), 0);
  ASSERT_EQ(chmod((m_dir / "bin").c_str(), 0777), 0);
  const int result = RunUnprivileged([this] {
    Open();
    Click(IDC_BUTTON_CONNECT);
    if (m_boxes.m_boxes.size() != 1) return 2;
    const std::string& detail = m_boxes.m_boxes[0].detail;
    std::fprintf(stderr, "%s\n", detail.c_str());
    return detail.find("理由: アクセス権がありません: グループ \"") != std::string::npos &&
                   detail.find("ログインし直してください") != std::string::npos
               ? 0
               : 1;
  });
  ASSERT_NE(result, -1) << "could not run without root's rights";
  EXPECT_EQ(result, 0);
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

// Disconnect lets the device go: another program may take it at once.
TEST_F(DialogTest, DisconnectLetsAnotherProgramTakeTheDevice) {
  Connected();
  CComPort other;
  other.SetComMap({{1, m_sim.DevicePath()}});
  EXPECT_EQ(other.Open(1), 0);
  Click(IDC_BUTTON_DISCONNECT);
  EXPECT_EQ(Controls(), kDisconnected);
  EXPECT_EQ(other.Open(1), 1);
}

// Only "OK" exactly is a finished write; a reply that merely begins with it
// is a refusal, and neither changes the connection.
TEST_F(DialogTest, WriteVerdictTakesOnlyOkExactly) {
  CUnitInTheWaits unit;
  if (unit.Device().empty()) GTEST_SKIP() << "no pseudo-terminal available";
  WriteFile(Ini(), ComMappingText(1, unit.Device()));
  m_dialog = std::make_unique<CZeta7Dlg>();
  CZeta7Dlg::Services services = Services();
  services.pClock = &unit;
  m_dialog->SetServices(services);
  m_dialog->Create();
  m_driver = std::make_unique<CDialogDriver>(*m_dialog);
  Click(IDC_BUTTON_CONNECT);
  ASSERT_EQ(Shown(), Texts{});
  ASSERT_EQ(Controls(), kConnected);

  const char* const kDone = "書き込み終了";
  const char* const kFailed = "書き込みに失敗しました";
  const struct {
    const char* reply;
    const char* message;
    UINT type;
  } cases[] = {
      {"OK", kDone, kNotice},   {"OK ", kFailed, kError}, {"OKAY", kFailed, kError},
      {" OK", kFailed, kError}, {"O", kFailed, kError},   {"ok", kFailed, kError},
  };
  SetFields({"12", "3", "5", "1000"});
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.reply + "\"");
    unit.m_strWriteReply = c.reply;
    Click(IDC_BUTTON_WRITE);
    ASSERT_EQ(m_boxes.m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes.m_boxes[1].type, c.type);
    EXPECT_EQ(Shown(), (Texts{kConfirmWrite, c.message}));
    EXPECT_EQ(Controls(), kConnected);
  }
}

}  // namespace
