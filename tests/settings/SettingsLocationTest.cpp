#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "SettingsLocation.h"

namespace {

// Library and platform stand-ins that answer as told and record every call.
struct CFakeServices {
  std::optional<std::string> program = "/opt/zeta/zeta7";
  int existsResult = 0;
  std::string folderText = "/home/u/.config";
  int folderResult = 15;
  int makeResult = 0;

  int folderCalls = 0;
  std::vector<std::string> makeCalls;
  std::vector<std::string> messages;
  std::vector<std::string> details;

  LocationServices Services() {
    LocationServices s;
    s.programPath = [this] { return program; };
    s.fileExists = [this](const char*) { return existsResult; };
    s.getUserAppFolder = [this](char* buffer, int size) {
      ++folderCalls;
      EXPECT_GE(size, 4096);
      if (folderText.size() < static_cast<size_t>(size)) {
        std::memcpy(buffer, folderText.c_str(), folderText.size() + 1);
      }
      return folderResult;
    };
    s.makeFolder = [this](const char* folder) {
      makeCalls.push_back(folder);
      return makeResult;
    };
    s.showMessage = [this](const std::string& text, const std::string& detail) {
      messages.push_back(text);
      details.push_back(detail);
    };
    return s;
  }
};

TEST(SettingsLocation, BesideTheProgramOrInTheUserFolder) {
  const std::string beside = "/opt/zeta/zeta7.ini";
  const std::string user = "/home/u/.config/Quillbeck/ZETA-7/zeta7.ini";
  const struct {
    const char* what;
    int exists;
    std::string folder;
    int folderResult;
    int make;
    std::string expected;
    const char* message;  // nullptr: none
    bool folderMade;
  } cases[] = {
      {"file beside wins even without a user folder", 1, "", -1, 0, beside, nullptr, false},
      {"user folder", 0, "/home/u/.config", 15, 0, user, nullptr, true},
      {"user folder with trailing /", 0, "/home/u/.config/", 16, 0, user, nullptr, true},
      {"exists -1 is no file", -1, "/home/u/.config", 15, 0, user, nullptr, true},
      {"exists 2 is no file", 2, "/home/u/.config", 15, 0, user, nullptr, true},
      {"no user folder", 0, "", -1, 0, beside, kMsgUserFolderUnavailable, false},
      {"-1 with a text is still failure", 0, "/home/u/.config", -1, 0, beside,
       kMsgUserFolderUnavailable, false},
      {"success with an empty text", 0, "", 0, 0, beside, kMsgUserFolderUnavailable, false},
      {"folder not created", 0, "/home/u/.config", 15, 1, beside, kMsgUserFolderNotCreated, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CFakeServices fake;
    fake.existsResult = c.exists;
    fake.folderText = c.folder;
    fake.folderResult = c.folderResult;
    fake.makeResult = c.make;

    EXPECT_EQ(LocateSettingsFile(fake.Services()), c.expected);
    EXPECT_EQ(fake.makeCalls, c.folderMade
                                  ? std::vector<std::string>{"/home/u/.config/Quillbeck/ZETA-7/"}
                                  : std::vector<std::string>{});
    EXPECT_EQ(fake.messages,
              c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    if (c.make != 0) {
      EXPECT_EQ(fake.details,
                std::vector<std::string>{"フォルダ: /home/u/.config/Quillbeck/ZETA-7/"});
    }
  }

  CFakeServices noProgram;
  noProgram.program = std::nullopt;
  EXPECT_EQ(LocateSettingsFile(noProgram.Services()), std::nullopt);
  EXPECT_EQ(noProgram.folderCalls, 0);
  EXPECT_TRUE(noProgram.messages.empty());
}

TEST(SettingsLocation, FileIsNamedAfterTheProgram) {
  const char* const cases[][2] = {{"/opt/a.b.c", "a.b"},
                                  {"/opt/v1.2/zeta7", "zeta7"},
                                  {"/opt/.x", ".x"},
                                  {"/opt/.x.y", ".x"},
                                  {"zeta7", "zeta7"}};
  for (const auto& c : cases) EXPECT_EQ(BaseNameOf(c[0]), c[1]) << c[0];
}

// A program replaced while it runs (an upgrade) keeps its settings file.
TEST(SettingsLocation, ReplacedProgramKeepsItsName) {
  const auto none = [](const std::string&) { return false; };
  const auto all = [](const std::string&) { return true; };
  EXPECT_EQ(ProgramPathFromLink("/opt/zeta7 (deleted)", none), "/opt/zeta7");
  EXPECT_EQ(ProgramPathFromLink("/opt/zeta7 (deleted)", all), "/opt/zeta7 (deleted)");
  EXPECT_EQ(ProgramPathFromLink("/opt/zeta7", none), "/opt/zeta7");
  EXPECT_EQ(ProgramPathFromLink(" (deleted)", none), " (deleted)");
}

TEST(SettingsLocation, LongPathsAreNeitherCutNorOverread) {
  CFakeServices fake;
  const std::string deepProgram = "/" + std::string(3000, 'd') + "/" + std::string(400, 'n');
  const std::string deepFolder = "/" + std::string(5000, 'u');
  fake.program = deepProgram;
  fake.folderText = deepFolder;
  EXPECT_EQ(LocateSettingsFile(fake.Services()),
            deepFolder + "/Quillbeck/ZETA-7/" + std::string(400, 'n') + ".ini");
  fake.existsResult = 1;
  EXPECT_EQ(LocateSettingsFile(fake.Services()), deepProgram + ".ini");

  // A library that fills the whole buffer and forgets the NUL.
  LocationServices s = fake.Services();
  s.fileExists = [](const char*) { return 0; };
  s.getUserAppFolder = [](char* buffer, int size) {
    std::memset(buffer, 'u', static_cast<size_t>(size));
    return size;
  };
  const std::optional<std::string> path = LocateSettingsFile(s);
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(path->size(), static_cast<size_t>(kUserFolderBufferSize) + 18 + 400 + 4);
}

}  // namespace
