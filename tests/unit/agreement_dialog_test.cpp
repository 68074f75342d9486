// The agreement dialog through the window-system stand-in: the wrapped text at the first
// paint, accept and decline, the text box's colours, and "Print" on the default printer.
#include "agreement/agreement_dlg.h"
#include "app/agreement_text.h"
#include "tests/unit/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::ScriptedUser;

namespace {

class AgreementDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    standin::ResetRecords();
    standin::SetDefaultPrinter(nullptr);
    // The box shows its text in the dialog font, 7 pixels a character: 10 characters
    // to a line. The system font that its fresh context carries would fit 14.
    standin::SetDialogFontMetrics(7, 13);
    standin::SetSystemFontMetrics(5, 16);
    SetTextBoxWidth(70);
    lines.AddTail("aaa bbb ccc");
    lines.AddTail("");
    lines.AddTail("dd");
    dlg.m_pLines = &lines;
  }
  // The width the text gets between the box's margins.
  static void SetTextBoxWidth(int width) {
    standin::SetControlClientSize(IDD_AGREEMENT_DIALOG, IDC_AGREEMENT_TEXT,
                                  width + standin::kEditLeftMargin + standin::kEditRightMargin, 100);
  }
  void TearDown() override {
    standin::SetDefaultPrinter(nullptr);
    EXPECT_EQ(0, standin::LiveGdiResources());
    EXPECT_EQ(std::vector<std::string>{}, standin::GdiProblems());
  }

  CStringList lines;
  CAgreementDlg dlg;
};

TEST_F(AgreementDialog, ShowsTheWrappedLinesOnceTheDialogIsFirstPainted) {
  std::string beforePaint, afterPaint, afterSecondPaint;
  ScriptedUser user;
  user.On(IDD_AGREEMENT_DIALOG, [&](HWND d) {
    beforePaint = standin::ControlText(d, IDC_AGREEMENT_TEXT);
    standin::Paint(d);
    afterPaint = standin::ControlText(d, IDC_AGREEMENT_TEXT);
    standin::Type(d, IDC_AGREEMENT_TEXT, "scrolled away");
    standin::Paint(d);
    afterSecondPaint = standin::ControlText(d, IDC_AGREEMENT_TEXT);
    standin::Press(d, IDOK);
  });
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ("", beforePaint);
  EXPECT_EQ("aaa bbb \r\nccc \r\n\r\ndd \r\n", afterPaint);
  EXPECT_EQ("scrolled away", afterSecondPaint);  // never set again
  ASSERT_EQ(1u, standin::Dialogs().size());
  EXPECT_TRUE(standin::Dialogs()[0].defaultFocus);
}

TEST_F(AgreementDialog, TheTextFitsBetweenTheMarginsOfTheBox) {
  // "aaaa bbbb " is 70 pixels wide: one pixel too many once the margins are taken off.
  SetTextBoxWidth(69);
  lines.RemoveAll();
  lines.AddTail("aaaa bbbb");
  std::string shown;
  ScriptedUser user;
  user.On(IDD_AGREEMENT_DIALOG, [&](HWND d) {
    standin::Paint(d);
    shown = standin::ControlText(d, IDC_AGREEMENT_TEXT);
    standin::Press(d, IDOK);
  });
  dlg.DoModal();
  EXPECT_EQ("aaaa \r\nbbbb \r\n", shown);
}

TEST_F(AgreementDialog, AcceptingAndDecliningGiveDistinctResults) {
  ScriptedUser user;
  user.On(IDD_AGREEMENT_DIALOG, testing_support::Press(IDCANCEL))
      .On(IDD_AGREEMENT_DIALOG, [](HWND d) { SendMessageA(d, WM_CLOSE, 0, 0); })
      .On(IDD_AGREEMENT_DIALOG, testing_support::Press(IDOK));
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  CAgreementDlg second;
  EXPECT_EQ(IDCANCEL, second.DoModal());
  CAgreementDlg third;
  EXPECT_EQ(IDOK, third.DoModal());
  EXPECT_TRUE(user.AllStepsRan());
}

TEST_F(AgreementDialog, WithoutLinesTheTextBoxStaysEmpty) {
  CAgreementDlg unset;  // m_pLines never set
  std::string shown = "not painted";
  ScriptedUser user;
  user.On(IDD_AGREEMENT_DIALOG, [&](HWND d) {
    standin::Paint(d);
    shown = standin::ControlText(d, IDC_AGREEMENT_TEXT);
    standin::Press(d, IDOK);
  });
  EXPECT_EQ(IDOK, unset.DoModal());
  EXPECT_EQ("", shown);
}

TEST_F(AgreementDialog, OpensInTheMiddleOfTheDialogItWasOpenedFrom) {
  CDialog setup(IDD_SETUP_DIALOG);
  RECT outer = {}, inner = {};
  ScriptedUser user;
  user.On(IDD_SETUP_DIALOG, [&](HWND d) {
        outer = standin::WindowRect(d);
        SetWindowPos(d, nullptr, 100, 50, 600, 300, SWP_NOZORDER);
        dlg.DoModal();
        standin::Press(d, IDCANCEL);
      })
      .On(IDD_AGREEMENT_DIALOG, [&](HWND d) {
        inner = standin::WindowRect(d);
        standin::Press(d, IDOK);
      });
  setup.DoModal();
  // Without an owner, a 480 x 123 dialog goes to the middle of the 1024 x 740 work area.
  EXPECT_EQ(272, outer.left);
  EXPECT_EQ(308, outer.top);
  EXPECT_EQ(160, inner.left);
  EXPECT_EQ(138, inner.top);
}

struct Colours {
  COLORREF text, background;
  HBRUSH brush;
};

// Asks the dialog for the colours of `controlId` (0: the dialog itself), as the window
// system does before it draws the control.
Colours AskColours(HWND dialog, int controlId, UINT message) {
  HWND window = controlId ? GetDlgItem(dialog, controlId) : dialog;
  HDC dc = GetDC(window);
  Colours c;
  c.brush = reinterpret_cast<HBRUSH>(
      SendMessageA(dialog, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
  c.text = GetTextColor(dc);
  c.background = GetBkColor(dc);
  ReleaseDC(window, dc);
  return c;
}

TEST_F(AgreementDialog, TheAgreementTextIsBlackOnWhiteAndEverythingElseKeepsTheSchemeColours) {
  const COLORREF navy = RGB(0, 0, 128), sand = RGB(230, 220, 190);
  standin::SetSysColor(COLOR_WINDOWTEXT, navy);
  standin::SetSysColor(COLOR_3DFACE, sand);
  Colours text = {}, button = {}, dialog = {};
  ScriptedUser user;
  user.On(IDD_AGREEMENT_DIALOG, [&](HWND d) {
    // A read-only edit control asks as a static one does.
    text = AskColours(d, IDC_AGREEMENT_TEXT, WM_CTLCOLORSTATIC);
    button = AskColours(d, IDC_PRINT, WM_CTLCOLORBTN);
    dialog = AskColours(d, 0, WM_CTLCOLORDLG);
    standin::Press(d, IDOK);
  });
  dlg.DoModal();
  EXPECT_EQ(RGB(0, 0, 0), text.text);
  EXPECT_EQ(RGB(255, 255, 255), text.background);
  // The rest of the box keeps the brush of the default handling.
  EXPECT_EQ(GetSysColorBrush(COLOR_3DFACE), text.brush);
  EXPECT_EQ(navy, button.text);
  EXPECT_EQ(sand, button.background);
  EXPECT_EQ(GetSysColorBrush(COLOR_3DFACE), button.brush);
  EXPECT_EQ(navy, dialog.text);
  EXPECT_EQ(sand, dialog.background);
}

class AgreementPrinting : public AgreementDialog {
 protected:
  // Presses "Print" `times` times, then "I accept"; returns what the box showed after.
  std::string PrintAndAccept(int times) {
    std::string shownBefore, shownAfter;
    ScriptedUser user;
    user.On(IDD_AGREEMENT_DIALOG, [&](HWND d) {
      standin::Paint(d);
      shownBefore = standin::ControlText(d, IDC_AGREEMENT_TEXT);
      for (int i = 0; i < times; ++i) standin::Press(d, IDC_PRINT);
      shownAfter = standin::ControlText(d, IDC_AGREEMENT_TEXT);
    });
    user.On(IDD_AGREEMENT_DIALOG, testing_support::Press(IDOK));
    EXPECT_EQ(IDOK, dlg.DoModal());  // the dialog stayed open for the second step
    EXPECT_TRUE(user.AllStepsRan());
    EXPECT_EQ(shownBefore, shownAfter);
    EXPECT_TRUE(standin::MessageBoxes().empty());
    return shownAfter;
  }
};

TEST_F(AgreementPrinting, WithoutADefaultPrinterNothingHappens) {
  PrintAndAccept(1);
  EXPECT_TRUE(standin::PrintJobs().empty());
  EXPECT_TRUE(standin::FontsCreated().empty());
}

TEST_F(AgreementPrinting, PrintsTheAgreementInTenPointTimesNewRomanAsOneDocument) {
  const standin::Printer a4 = {2479, 3508, 300};
  standin::SetDefaultPrinter(&a4);
  lines.RemoveAll();
  AppendAgreementLines(lines);
  PrintAndAccept(1);

  ASSERT_EQ(1u, standin::PrintJobs().size());
  const standin::PrintJob& job = standin::PrintJobs()[0];
  EXPECT_EQ("Print job", job.name);
  EXPECT_TRUE(job.ended);
  EXPECT_EQ(1, job.pages);

  ASSERT_EQ(1u, standin::FontsCreated().size());
  const LOGFONTA& font = standin::FontsCreated()[0];
  EXPECT_STREQ("Times New Roman", font.lfFaceName);
  EXPECT_EQ(-41, font.lfHeight);  // 300 x 100 / 720, truncated, as a character height
  EXPECT_EQ(DEFAULT_CHARSET, font.lfCharSet);
  EXPECT_EQ(0, font.lfWidth);
  EXPECT_EQ(FW_DONTCARE, font.lfWeight);

  // The font is selected before the first page and deselected before the document ends.
  ASSERT_GE(job.calls.size(), 3u);
  EXPECT_EQ((std::vector<std::string>{"StartDoc", "SelectObject Times New Roman", "StartPage"}),
            std::vector<std::string>(job.calls.begin(), job.calls.begin() + 3));
  EXPECT_EQ((std::vector<std::string>{"EndPage", "SelectObject System", "EndDoc"}),
            std::vector<std::string>(job.calls.end() - 3, job.calls.end()));

  // x = 2479 / 20; the wrap width (2479 - 2 x 123) / 2 = 1116 holds 55 characters of 20
  // pixels; lines of 41 pixels start at 3508 / 20.
  std::string printed;
  int y = 175;
  for (const standin::PrintedText& t : job.texts) {
    EXPECT_EQ(123, t.x);
    EXPECT_EQ(y, t.y);
    EXPECT_EQ("Times New Roman", t.face);
    EXPECT_EQ(MM_TEXT, t.mapMode);
    EXPECT_EQ(0u, t.textAlign);
    EXPECT_LE(t.text.size(), 55u);
    y += 41;
    printed += t.text.empty() ? "\n" : t.text;
  }
  EXPECT_EQ(lines.GetHead().GetString() + std::string(" \n") + lines.GetTail().GetString() + " ", printed);
}

TEST_F(AgreementPrinting, TheFontHeightFollowsThePrintersResolution) {
  const standin::Printer fine = {4958, 7016, 600};
  standin::SetDefaultPrinter(&fine);
  PrintAndAccept(1);
  ASSERT_EQ(1u, standin::FontsCreated().size());
  EXPECT_EQ(-83, standin::FontsCreated()[0].lfHeight);
}

TEST_F(AgreementPrinting, EveryClickPrintsTheSameAgreementAgainAsANewDocument) {
  const standin::Printer letter = {2550, 3300, 300};
  standin::SetDefaultPrinter(&letter);
  EXPECT_EQ("aaa bbb \r\nccc \r\n\r\ndd \r\n", PrintAndAccept(2));
  const auto& jobs = standin::PrintJobs();
  ASSERT_EQ(2u, jobs.size());
  EXPECT_EQ(jobs[0].calls, jobs[1].calls);
  ASSERT_EQ(jobs[0].texts.size(), jobs[1].texts.size());
  for (size_t i = 0; i < jobs[0].texts.size(); ++i) {
    EXPECT_EQ(jobs[0].texts[i].text, jobs[1].texts[i].text);
    EXPECT_EQ(jobs[0].texts[i].y, jobs[1].texts[i].y);
  }
  EXPECT_EQ(3u, jobs[1].texts.size());
  EXPECT_EQ(2u, standin::FontsCreated().size());
}

}  // namespace
