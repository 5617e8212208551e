// The numeric field in a one-field dialog, typed into through the dialog
// framework's test driver, so the same cases run on every backend.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "AfxDialog.h"
#include "CEditValue.h"
#include "DialogDriver.h"
#include "FieldDialog.h"

namespace {

class CEditValueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dialog.Create();
    m_dialog.m_edit.m_nMin = 7;
    m_dialog.m_edit.m_nMax = 46;
    m_dialog.m_edit.m_nMaxChars = 3;
  }

  // The field's text after typing into a field holding initial.
  std::string After(const char* initial, const std::string& typed, bool selectAll = false) {
    m_driver.SetText(kFieldId, initial);
    if (selectAll) m_driver.SelectAll(kFieldId);
    m_driver.Type(kFieldId, typed);
    return m_driver.Text(kFieldId);
  }

  CFieldDlg m_dialog;
  CDialogDriver m_driver{m_dialog};
};

TEST_F(CEditValueTest, TypedCharactersAreFilteredAndCapped) {
  const struct {
    const char* name;
    int cap;
    const char* initial;
    bool selectAll;
    const char* typed;
    const char* expected;
  } cases[] = {
      {"digits up to the cap", 3, "", false, "1234", "123"},
      {"leading zeros count", 3, "00", false, "77", "007"},
      {"at cap, all selected", 3, "123", true, "4", "123"},
      {"below cap, all selected", 3, "12", true, "4", "4"},
      {"cap 16 sees 15 bytes", 16, "1234567890123456", false, "7", "12345678901234567"},
      {"cap 0 takes nothing", 0, "", false, "5", ""},
      {"negative cap is a huge unsigned one", -1, "", false, "123456789", "123456789"},
      {"signs, blanks and letters", 3, "1", false, "-+ a.", "1"},
      {"full-width digit and kana", 3, "1", false, "２か", "1"},
      {"backspace", 3, "123", false, "\b\b4", "14"},
      {"clipboard and undo keys", 3, "12", false, "\x03\x16\x18\x1a", "12"},
      {"other control characters", 3, "1", false, "\x01\x7f", "1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_dialog.m_edit.m_nMaxChars = c.cap;
    EXPECT_EQ(After(c.initial, c.typed, c.selectAll), c.expected);
  }
}

TEST_F(CEditValueTest, InputMethodCommitsAreFilteredPerCharacter) {
  const struct {
    const char* name;
    const char* initial;
    const char* commit;
    const char* expected;
  } cases[] = {{"full-width digits and kana", "", "1a２か3", "13"},
               {"capped within the commit", "1", "2345", "123"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_driver.SetText(kFieldId, c.initial);
    m_driver.Commit(kFieldId, c.commit);
    EXPECT_EQ(m_driver.Text(kFieldId), c.expected);
  }
}

// Text set by the program or pasted is not filtered; GetValue converts its
// leading number and checks the range.
TEST_F(CEditValueTest, GetValueConvertsAndChecksTheRange) {
  constexpr int kUntouched = 12345;
  const std::string longText = std::string(254, '0') + "12";  // only "0...01" is seen
  const struct {
    std::string text;
    int min, max;
    int result;
    int value;
  } cases[] = {{"", 7, 46, -2, kUntouched},
               {"7", 7, 46, 0, 7},
               {"46", 7, 46, 0, 46},
               {"6", 7, 46, -1, 6},
               {"47", 7, 46, -1, 47},
               {" 42", 0, 46, 0, 42},
               {"12abc", 0, 46, 0, 12},
               {"abc", 0, 15, 0, 0},
               {"-5", 0, 15, -1, -5},
               {"99999999999", 0, 32767, -1, INT_MAX},
               {"-99999999999", 0, 32767, -1, INT_MIN},
               {longText, 0, 32767, 0, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE("text \"" + c.text.substr(0, 20) + "\"");
    m_driver.SetText(kFieldId, c.text);
    m_dialog.m_edit.m_nMin = c.min;
    m_dialog.m_edit.m_nMax = c.max;
    int value = kUntouched;
    EXPECT_EQ(m_dialog.m_edit.GetValue(&value), c.result);
    EXPECT_EQ(value, c.value);
  }
}

}  // namespace
