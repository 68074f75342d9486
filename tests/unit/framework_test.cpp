// The framework under the program: message maps, dialog data exchange, message boxes
// and the wait cursor, driven through the window-system stand-in.
#include "framework/afxwin.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

using testing_support::ScriptedUser;

namespace {

constexpr int kTemplate = 500, kInner = 501, kEdit = 1000, kButton = 1001;

class TestApp : public CWinApp {
 public:
  int helpCommands = 0;
  afx_msg void OnHelpCommand() { ++helpCommands; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(TestApp, CWinApp)
  ON_COMMAND(ID_HELP, &TestApp::OnHelpCommand)
END_MESSAGE_MAP()

class TextDialog : public CDialog {
 public:
  explicit TextDialog(int id = kTemplate) : CDialog(UINT(id)) {}
  CString text = "initial";
  int clicks = 0;
  int innerResult = 0;

 protected:
  void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, kEdit, text); }
  afx_msg void OnButton() {
    ++clicks;
    if (m_nIDHelp == kTemplate) {
      TextDialog inner(kInner);
      innerResult = int(inner.DoModal());
    }
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(TextDialog, CDialog)
  ON_BN_CLICKED(kButton, &TextDialog::OnButton)
END_MESSAGE_MAP()

class Framework : public ::testing::Test {
 protected:
  void SetUp() override {
    standin::ResetRecords();
    standin::SetModuleFileName("C:\\dir.v2\\SetupGalvery.exe");
    app.SetCurrentHandles(nullptr);
  }
  TestApp app;
};

TEST_F(Framework, TheApplicationTitleIsTheProgramFileNameWithoutItsExtension) {
  EXPECT_STREQ("SetupGalvery", app.m_pszAppName);
  standin::SetModuleFileName("C:\\dir.v2\\Setup");
  TestApp other;
  other.SetCurrentHandles(nullptr);
  EXPECT_STREQ("Setup", other.m_pszAppName);
}

TEST_F(Framework, MessageBoxesGetTheTitleAndAnExclamationUnlessAnIconIsGiven) {
  EXPECT_EQ(IDOK, AfxMessageBox("plain"));
  AfxMessageBox("question", MB_YESNO);
  AfxMessageBox("stop", MB_OK | MB_ICONHAND);
  const auto& boxes = standin::MessageBoxes();
  ASSERT_EQ(3u, boxes.size());
  EXPECT_EQ("SetupGalvery", boxes[0].caption);
  EXPECT_EQ(MB_ICONEXCLAMATION, boxes[0].type & MB_ICONMASK);
  EXPECT_EQ(MB_YESNO, boxes[1].type & MB_TYPEMASK);
  EXPECT_EQ(MB_ICONEXCLAMATION, boxes[1].type & MB_ICONMASK);
  EXPECT_EQ(MB_ICONHAND, boxes[2].type & MB_ICONMASK);
  // With no dialog up, the box keeps the whole task from going on behind it.
  EXPECT_EQ(nullptr, boxes[0].owner);
  EXPECT_TRUE(boxes[0].type & MB_TASKMODAL);
}

TEST_F(Framework, DataExchangeFillsTheControlsAndOkReadsThemBack) {
  TextDialog dlg;
  std::string shown;
  ScriptedUser user;
  user.On(kTemplate, [&](HWND d) {
    shown = standin::ControlText(d, kEdit);
    standin::Type(d, kEdit, "  typed\\ as is ");
    standin::Press(d, IDOK);
  });
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ("initial", shown);
  EXPECT_EQ(CString("  typed\\ as is "), dlg.text);
  EXPECT_TRUE(user.problems.empty());
}

TEST_F(Framework, CancelLeavesTheMembersAsTheyWere) {
  TextDialog dlg;
  ScriptedUser user;
  user.On(kTemplate, [](HWND d) {
    standin::Type(d, kEdit, "changed");
    standin::Press(d, IDCANCEL);
  });
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_EQ(CString("initial"), dlg.text);
}

TEST_F(Framework, ButtonsReachTheirHandlersAndNestedDialogsOwnTheirMessageBoxes) {
  TextDialog dlg;
  HWND outer = nullptr, inner = nullptr;
  ScriptedUser user;
  user.On(kTemplate, [&](HWND d) { outer = d; standin::Press(d, kButton); })
      .On(kInner, [&](HWND d) {
        inner = d;
        AfxMessageBox("inside");
        standin::Press(d, IDOK);
      })
      .On(kTemplate, testing_support::Press(IDCANCEL));
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  EXPECT_EQ(1, dlg.clicks);
  EXPECT_EQ(IDOK, dlg.innerResult);
  ASSERT_EQ(1u, standin::MessageBoxes().size());
  EXPECT_EQ(inner, standin::MessageBoxes()[0].owner);
  EXPECT_NE(outer, inner);
  EXPECT_FALSE(standin::MessageBoxes()[0].type & MB_TASKMODAL);
  EXPECT_TRUE(user.AllStepsRan());
}

TEST_F(Framework, CommandsNoWindowHandlesGoOnToTheApplication) {
  TextDialog dlg;
  ScriptedUser user;
  user.On(kTemplate, [](HWND d) {
    SendMessageA(d, WM_COMMAND, MAKEWPARAM(ID_HELP, BN_CLICKED), 0);
    standin::Press(d, IDCANCEL);
  });
  dlg.DoModal();
  EXPECT_EQ(1, app.helpCommands);
}

TEST_F(Framework, TheWaitCursorStaysUntilTheOutermostEnd) {
  CCmdTarget target;
  target.BeginWaitCursor();
  EXPECT_TRUE(standin::WaitCursorShown());
  {
    CWaitCursor nested;
    EXPECT_TRUE(standin::WaitCursorShown());
  }
  EXPECT_TRUE(standin::WaitCursorShown());
  target.EndWaitCursor();
  EXPECT_FALSE(standin::WaitCursorShown());
}

}  // namespace
