// The main window's test fixture: the window built against a private
// settings folder through the dialog framework's test driver, with every
// message box answered and recorded, the waits recorded, and, where a test
// needs a unit, the simulated one behind COM1.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "CZeta7Dlg.h"
#include "DialogDriver.h"
#include "MainDialogTemplate.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "UnitOnCom.h"

using Texts = std::vector<std::string>;

const char* const kCannotTalk = "ZETA-7と通信できません";
const char* const kBadComm = "ZETA-7との通信が不正です";
const char* const kConfirmWrite = "パラメータをZETA-7に書き込みます";
constexpr UINT kError = MB_OK | MB_ICONSTOP;
constexpr UINT kNotice = MB_OK | MB_ICONEXCLAMATION;
constexpr UINT kConfirm = MB_OKCANCEL | MB_ICONEXCLAMATION;

// Enabled state of Connect, Disconnect, Read, Write, the COM list and the
// speed list, '1' for enabled.
constexpr const char* kDisconnected = "100011";
constexpr const char* kOpening = "000000";
constexpr const char* kConnected = "011100";
constexpr int kConnectionControls[] = {IDC_BUTTON_CONNECT, IDC_BUTTON_DISCONNECT,
                                       IDC_BUTTON_READ,    IDC_BUTTON_WRITE,
                                       IDC_COMBO_COMPORT,  IDC_COMBO_BAUDRATE};
constexpr int kFields[] = {IDC_EDIT_CHANNEL, IDC_EDIT_ID, IDC_EDIT_RETRY_COUNT,
                           IDC_EDIT_RETRY_INTERVAL};

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_boxes.m_snapshot = [this] { return Controls(); };
  }
  void TearDown() override {
    m_driver.reset();
    m_dialog.reset();
  }

  std::string Ini() const { return m_dir / "bin/zeta7.ini"; }
  std::string UnitLink() const { return UnitLinkPath(1, m_dir / "unit-tty"); }

  CZeta7Dlg::Services Services() {
    CZeta7Dlg::Services services;
    services.pClock = &m_clock;
    services.pBoxes = &m_boxes;
    if (m_pDesktop) services.pDesktop = m_pDesktop;
    const std::string program = m_dir / "bin/zeta7";
    services.location.programPath = [program] { return std::optional<std::string>(program); };
    services.location.getUserAppFolder = [this](char* buffer, int size) {
      const int n = std::snprintf(buffer, static_cast<size_t>(size), "%s", m_userFolder.c_str());
      return n < size ? n : -1;
    };
    return services;
  }

  CZeta7Dlg& Open() {
    m_driver.reset();
    m_dialog = std::make_unique<CZeta7Dlg>();
    m_dialog->SetServices(Services());
    m_dialog->Create();
    m_driver = std::make_unique<CDialogDriver>(*m_dialog);
    return *m_dialog;
  }
  // Starts the unit with the given switches and opens the window with COM1
  // leading to it, through a link that stays when the unit is restarted.
  CZeta7Dlg& OpenWithUnit(const std::vector<std::string>& args = {}) {
    StartUnit(args);
    WriteFile(Ini(), ComMappingText(1, UnitLink()));
    return Open();
  }
  void StartUnit(std::vector<std::string> args = {}) {
    m_sim.Stop();
    args.insert(args.end(), {"--link", UnitLink()});
    ASSERT_TRUE(m_sim.Start(args)) << m_sim.Error();
  }
  CZeta7Dlg& Connected(const std::vector<std::string>& args = {}) {
    CZeta7Dlg& dlg = OpenWithUnit(args);
    Click(IDC_BUTTON_CONNECT);
    EXPECT_EQ(Controls(), kConnected);
    return dlg;
  }

  CDialogDriver& Driver() { return *m_driver; }
  void Click(int id) { m_driver->Click(id); }
  std::string VersionLine() { return m_driver->Text(IDC_STATIC_VERSION); }

  std::string Controls() {
    std::string pattern;
    for (int id : kConnectionControls) pattern += m_driver && m_driver->IsEnabled(id) ? '1' : '0';
    return pattern;
  }
  Texts Shown() { return m_boxes.TakeTexts(); }

  std::string Fields() {
    std::string texts;
    for (int id : kFields) texts += (id == kFields[0] ? "" : " ") + m_driver->Text(id);
    return texts;
  }
  void SetFields(const std::vector<const char*>& values) {
    for (size_t i = 0; i < values.size(); ++i) m_driver->SetText(kFields[i], values[i]);
  }

  CTempDir m_dir;
  std::string m_userFolder = m_dir / "user";
  CRecordingClock m_clock;
  CBoxRecorder m_boxes;
  CDesktop* m_pDesktop = nullptr;
  std::unique_ptr<CZeta7Dlg> m_dialog;
  std::unique_ptr<CDialogDriver> m_driver;
  CSimProcess m_sim;
};
