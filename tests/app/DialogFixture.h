// A main dialog built against a private settings folder, with its message
// boxes pre-answered, and a silent pseudo-terminal to stand for a unit that
// never answers.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "BoxRecorder.h"
#include "CEditValue.h"
#include "CZeta7Dlg.h"
#include "ComResolver.h"
#include "UserDirKit/UserDirKit.h"

// The master side of a pseudo-terminal; the slave path is what the program opens.
class SilentPty {
 public:
  SilentPty() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0) {
      m_path = ptsname(m_master);
    }
  }
  ~SilentPty() {
    if (m_master >= 0) close(m_master);
  }
  const std::string& Path() const { return m_path; }
  int Master() const { return m_master; }
  // Everything the program has written so far.
  std::string Drain() const {
    std::string bytes;
    char buffer[256];
    ssize_t n;
    while ((n = read(m_master, buffer, sizeof buffer)) > 0) bytes.append(buffer, n);
    return bytes;
  }
  speed_t Speed() const {
    termios tio{};
    tcgetattr(m_master, &tio);
    return cfgetospeed(&tio);
  }

 private:
  int m_master = -1;
  std::string m_path;
};

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    m_programPath = m_dir.filePath(QStringLiteral("bin/zeta7")).toStdString();
    m_userFolder = m_dir.filePath(QStringLiteral("user")).toStdString();
    SetComMap({});
  }
  void TearDown() override {
    m_recorder.reset();
    m_dialog.reset();
    SetComMap({});
  }

  std::string IniBesideProgram() const {
    return m_dir.filePath(QStringLiteral("bin/zeta7.ini")).toStdString();
  }
  std::string IniInUserFolder() const { return m_userFolder + "/Quillbeck/ZETA-7/zeta7.ini"; }

  void WriteIni(const std::string& path, const char* text) {
    udk_MakeFolder(path.substr(0, path.rfind('/')).c_str());
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }

  LocationServices Services() {
    LocationServices services;
    services.programPath = [this] { return std::optional<std::string>(m_programPath); };
    services.fileExists = [](const char* path) { return udk_FileExists(path); };
    services.getUserAppFolder = [this](char* buffer, int size) {
      if (static_cast<int>(m_userFolder.size()) + 1 > size) return -1;
      std::copy(m_userFolder.c_str(), m_userFolder.c_str() + m_userFolder.size() + 1, buffer);
      return static_cast<int>(m_userFolder.size());
    };
    services.makeFolder = [](const char* folder) { return udk_MakeFolder(folder); };
    return services;
  }

  CZeta7Dlg& Open() {
    m_recorder.reset();
    m_dialog.reset();
    m_dialog = std::make_unique<CZeta7Dlg>();
    m_recorder = std::make_unique<BoxRecorder>(m_dialog.get());
    m_dialog->SetLocationServices(Services());
    m_dialog->Create();
    return *m_dialog;
  }

  template <class T>
  T* Control(const char* name) {
    T* widget = m_dialog->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QPushButton* Button(const char* name) { return Control<QPushButton>(name); }
  QComboBox* Combo(const char* name) { return Control<QComboBox>(name); }
  CEditValue* Edit(const char* name) { return Control<CEditValue>(name); }
  QString VersionLine() { return Control<QLabel>("IDC_STATIC_VERSION")->text(); }

  BoxRecorder& Boxes() { return *m_recorder; }

  QTemporaryDir m_dir;
  std::string m_programPath;
  std::string m_userFolder;
  std::unique_ptr<CZeta7Dlg> m_dialog;
  std::unique_ptr<BoxRecorder> m_recorder;
};
