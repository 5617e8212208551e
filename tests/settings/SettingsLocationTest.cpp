#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "SettingsLocation.h"

namespace {

// A path written with "/" in the platform's own separators.
std::string P(std::string path) {
  for (char& c : path) {
    if (c == '/') c = kPathSeparator;
  }
  return path;
}

// Library and platform stand-ins that answer as told and record every call.
struct CFakeServices {
  std::optional<std::string> program = P("/opt/zeta/zeta7");
  int existsResult = 0;
  std::string folderText = P("/home/u/.config");
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
  const std::string beside = P("/opt/zeta/zeta7.ini");
  const std::string user = P("/home/u/.config/Quillbeck/ZETA-7/zeta7.ini");
  const std::string config = P("/home/u/.config");
  const std::string* const msgA = &kMsgUserFolderUnavailable;
  const std::string msgB = kMsgUserFolderNotCreated;
  const struct {
    const char* what;
    int exists;
    std::string folder;
    int folderResult;
    int make;
    std::string expected;
    const std::string* message;  // nullptr: none
    bool folderMade;
  } cases[] = {
      {"file beside wins even without a user folder", 1, "", -1, 0, beside, nullptr, false},
      {"user folder", 0, config, 15, 0, user, nullptr, true},
      {"user folder with trailing separator", 0, P("/home/u/.config/"), 16, 0, user, nullptr, true},
      {"exists -1 is no file", -1, config, 15, 0, user, nullptr, true},
      {"no user folder", 0, "", -1, 0, beside, msgA, false},
      {"-1 with a text is still failure", 0, config, -1, 0, beside, msgA, false},
      {"success with an empty text", 0, "", 0, 0, beside, msgA, false},
      {"folder not created", 0, config, 15, 1, beside, &msgB, true},
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
                                  ? std::vector<std::string>{P("/home/u/.config/Quillbeck/ZETA-7/")}
                                  : std::vector<std::string>{});
    EXPECT_EQ(fake.messages,
              c.message ? std::vector<std::string>{*c.message} : std::vector<std::string>{});
    if (c.make != 0) {
      EXPECT_EQ(fake.details,
                std::vector<std::string>{"フォルダ: " + P("/home/u/.config/Quillbeck/ZETA-7/")});
    }
  }

  CFakeServices noProgram;
  noProgram.program = std::nullopt;
  EXPECT_EQ(LocateSettingsFile(noProgram.Services()), std::nullopt);
  EXPECT_EQ(noProgram.folderCalls, 0);
  EXPECT_TRUE(noProgram.messages.empty());
}

TEST(SettingsLocation, FileIsNamedAfterTheProgram) {
  const char* const cases[][2] = {
      {"/opt/a.b.c", "a.b"}, {"/opt/v1.2/zeta7", "zeta7"}, {"/opt/.x.y", ".x"}, {"zeta7", "zeta7"}};
  for (const auto& c : cases) EXPECT_EQ(BaseNameOf(P(c[0])), c[1]) << c[0];
}

// A program replaced while it runs (an upgrade) keeps its settings file.
TEST(SettingsLocation, ReplacedProgramKeepsItsName) {
  const auto none = [](const std::string&) { return false; };
  const auto all = [](const std::string&) { return true; };
  EXPECT_EQ(ProgramPathFromLink("/opt/zeta7 (deleted)", none), "/opt/zeta7");
  EXPECT_EQ(ProgramPathFromLink("/opt/zeta7 (deleted)", all), "/opt/zeta7 (deleted)");
  EXPECT_EQ(ProgramPathFromLink(" (deleted)", none), " (deleted)");
}

TEST(SettingsLocation, LongPathsAreNeitherCutNorOverread) {
  CFakeServices fake;
  const std::string deepProgram = P("/" + std::string(3000, 'd') + "/" + std::string(400, 'n'));
  const std::string deepFolder = P("/" + std::string(5000, 'u'));
  fake.program = deepProgram;
  fake.folderText = deepFolder;
  EXPECT_EQ(LocateSettingsFile(fake.Services()),
            deepFolder + P("/Quillbeck/ZETA-7/") + std::string(400, 'n') + ".ini");
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
