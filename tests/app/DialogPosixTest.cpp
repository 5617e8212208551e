// The main window against what only POSIX devices show: the line settings
// read back through the kernel, devices that are missing, not terminals, or
// held by another program, and a unit that replays a trace of the test's
// own.
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "DialogFixture.h"
#include "Unprivileged.h"

namespace {

// One exchange of a unit's trace: the line the program sent, then the unit's
// echo of it, its reply (none for the empty line) and the prompt.
std::string TracedExchange(const std::string& line, const std::string& reply) {
  return "0\tCOM1\ttx\t\"" + line + "\\r\\n\"\n0\tCOM1\trx\t\"" + line + "\\r\\n" +
         (reply.empty() ? "" : reply + "\\r\\n") + "ZETA7>\"\n";
}

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
// until the window's next Connect or its end. Disconnect lets it go at once.
TEST_F(DialogTest, PortIsHeldUntilDisconnectOrTheWindowsEnd) {
  for (const bool fail : {true, false}) {
    SCOPED_TRACE(fail ? "failed handshake" : "connected");
    OpenWithUnit(fail ? std::vector<std::string>{"--silent"} : std::vector<std::string>{});
    Click(IDC_BUTTON_CONNECT);
    EXPECT_EQ(Shown(), fail ? Texts{kCannotTalk} : Texts{});
    CComPort other;
    other.SetComMap({{1, m_sim.DevicePath()}});
    EXPECT_EQ(other.Open(1), 0);
    if (fail) {
      m_driver.reset();
      m_dialog.reset();
    } else {
      Click(IDC_BUTTON_DISCONNECT);
      EXPECT_EQ(Controls(), kDisconnected);
    }
    EXPECT_EQ(other.Open(1), 1);
  }
}

// Only "OK" exactly is a finished write; a reply that merely begins with it
// is a refusal, and neither changes the connection. The unit replays a trace
// with the reply in it.
TEST_F(DialogTest, WriteVerdictTakesOnlyOkExactly) {
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
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.reply + "\"");
    const std::string trace = m_dir / "unit.trace";
    WriteFile(trace, TracedExchange("", "") + TracedExchange("V", "V1") +
                         TracedExchange("S 12 3 5 1000", c.reply));
    Connected({"--replay", trace});
    ASSERT_EQ(Shown(), Texts{});
    SetFields({"12", "3", "5", "1000"});
    Click(IDC_BUTTON_WRITE);
    ASSERT_EQ(m_boxes.m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes.m_boxes[1].type, c.type);
    EXPECT_EQ(Shown(), (Texts{kConfirmWrite, c.message}));
    EXPECT_EQ(Controls(), kConnected);
  }
}

}  // namespace

// A damaged file of remembered COM numbers is neither reset nor passed
// over: the box names it, in the window's language.
TEST_F(DialogTest, ADamagedFileOfComNumbersIsSaid) {
  const std::string folder = std::string(std::getenv("XDG_CONFIG_HOME")) + "/Quillbeck/ZETA-7";
  std::filesystem::create_directories(folder);
  const std::string file = folder + "/com-numbers.conf";
  WriteFile(file, "COM4 usb-A-if00-port0\nCOM4\n");
  WriteFile(Ini(), "[com]\ncom=9\n");
  Open();
  Click(IDC_BUTTON_CONNECT);
  ASSERT_EQ(m_boxes.m_boxes.size(), 1u);
  const std::string& detail = m_boxes.m_boxes[0].detail;
  const std::string left = ReadFile(file);
  std::filesystem::remove(file);
  EXPECT_NE(detail.find("COM番号の記憶ファイルが壊れています"), std::string::npos) << detail;
  EXPECT_EQ(left, "COM4 usb-A-if00-port0\nCOM4\n");
}
