// Printer Setup's handling of the dialog's record, and the print job's
// refusals before a document starts, run under Wine. The job on a real
// printer is tested end to end.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "dib_builder.h"
#include "printing/printing_win.h"
#include "progress_probe.h"

namespace {

// A stand-in for PrintDlgA that plays a script: each call records the record
// it was given and answers with the next step.
struct DialogStep {
  BOOL ok;
  DWORD error;
  bool newNames;  // put fresh blocks into the record
  bool newMode;
};

struct DialogCall {
  DWORD size;
  DWORD flags;
  HWND owner;
  HINSTANCE instance;
  LPSETUPHOOKPROC hook;
  HGLOBAL names;
  HGLOBAL mode;
};

std::vector<DialogStep> g_script;
std::vector<DialogCall> g_calls;
std::vector<HGLOBAL> g_made;

BOOL ScriptedDialog(PRINTDLGA* record, DWORD* error) {
  g_calls.push_back(DialogCall{record->lStructSize, record->Flags, record->hwndOwner, record->hInstance,
                               record->lpfnSetupHook, record->hDevNames, record->hDevMode});
  const DialogStep step = g_script.at(g_calls.size() - 1);
  if (step.newNames) g_made.push_back(record->hDevNames = GlobalAlloc(GHND, 64));
  if (step.newMode) g_made.push_back(record->hDevMode = GlobalAlloc(GHND, 256));
  *error = step.error;
  return step.ok;
}

class PrinterSetupRecord : public testing::Test {
 protected:
  void SetUp() override {
    g_script.clear();
    g_calls.clear();
    g_made.clear();
  }
  void TearDown() override {
    if (names_ != nullptr) GlobalFree(names_);
    if (mode_ != nullptr) GlobalFree(mode_);
  }
  void Saved() {
    names_ = GlobalAlloc(GHND, 64);
    mode_ = GlobalAlloc(GHND, 256);
    savedNames_ = names_;
    savedMode_ = mode_;
  }
  void Run() {
    PrinterSetupWith(ScriptedDialog, owner_, instance_, &names_, &mode_);
  }

  HWND owner_ = reinterpret_cast<HWND>(0x1230);
  HINSTANCE instance_ = GetModuleHandleA(nullptr);
  HGLOBAL names_ = nullptr;
  HGLOBAL mode_ = nullptr;
  HGLOBAL savedNames_ = nullptr;
  HGLOBAL savedMode_ = nullptr;
};

TEST_F(PrinterSetupRecord, FirstSetupKeepsTheChosenPrinter) {
  g_script = {{TRUE, 0, true, true}};
  Run();
  ASSERT_EQ(g_calls.size(), 1u);
  const DialogCall& c = g_calls[0];
  EXPECT_EQ(c.size, 66u);
  EXPECT_EQ(c.flags, 0x2040u) << "PD_PRINTSETUP | PD_ENABLESETUPHOOK";
  EXPECT_EQ(c.owner, owner_);
  EXPECT_EQ(c.instance, instance_);
  EXPECT_EQ(c.hook, &PrinterSetupHook);
  EXPECT_EQ(c.names, nullptr);
  EXPECT_EQ(c.mode, nullptr);
  EXPECT_EQ(names_, g_made[0]);
  EXPECT_EQ(mode_, g_made[1]);
}

TEST_F(PrinterSetupRecord, CancelKeepsTheSavedPrinter) {
  Saved();
  g_script = {{FALSE, 0, false, false}};
  Run();
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].names, savedNames_);
  EXPECT_EQ(g_calls[0].mode, savedMode_);
  EXPECT_EQ(names_, savedNames_);
  EXPECT_EQ(mode_, savedMode_);
}

TEST_F(PrinterSetupRecord, VanishedOrChangedPrinterOpensAgainOnTheDefault) {
  for (DWORD error : {DWORD{PDERR_PRINTERNOTFOUND}, DWORD{PDERR_DEFAULTDIFFERENT}}) {
    SetUp();
    Saved();
    g_script = {{FALSE, error, false, false}, {TRUE, 0, true, true}};
    Run();
    ASSERT_EQ(g_calls.size(), 2u) << error;
    EXPECT_EQ(g_calls[0].names, savedNames_);
    EXPECT_EQ(g_calls[1].names, nullptr) << "the second dialog starts on the default printer";
    EXPECT_EQ(g_calls[1].mode, nullptr);
    EXPECT_EQ(names_, g_made[0]);
    EXPECT_EQ(mode_, g_made[1]);
    TearDown();
    names_ = mode_ = nullptr;
  }
}

TEST_F(PrinterSetupRecord, NotFoundWithNothingSavedAsksOnlyOnce) {
  g_script = {{FALSE, PDERR_PRINTERNOTFOUND, false, false}, {FALSE, PDERR_PRINTERNOTFOUND, false, false}};
  Run();
  EXPECT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(names_, nullptr);
  EXPECT_EQ(mode_, nullptr);
}

TEST_F(PrinterSetupRecord, OtherDialogErrorsEndTheSetup) {
  Saved();
  g_script = {{FALSE, CDERR_STRUCTSIZE, false, false}};
  Run();
  EXPECT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(names_, savedNames_) << "the record still holds the saved blocks";
}

TEST_F(PrinterSetupRecord, ALoneBlockIsFreedAndNothingIsSaved) {
  g_script = {{TRUE, 0, false, true}};
  Run();
  EXPECT_EQ(names_, nullptr);
  EXPECT_EQ(mode_, nullptr);
  // A lone saved block is dropped before the dialog, which then starts empty.
  SetUp();
  mode_ = GlobalAlloc(GHND, 256);
  g_script = {{TRUE, 0, true, true}};
  Run();
  EXPECT_EQ(g_calls[0].mode, nullptr);
  EXPECT_EQ(mode_, g_made[1]);
}

TEST(PrinterSetupHook, GivesTheDialogThe3dLookOnlyAtInit) {
  HWND w = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(PrinterSetupHook(w, WM_INITDIALOG, 0, 0), 1u);
  EXPECT_EQ(PrinterSetupHook(w, WM_COMMAND, IDOK, 0), 0u);
  EXPECT_EQ(PrinterSetupHook(w, WM_PAINT, 0, 0), 0u);
  DestroyWindow(w);
}

// The job's checks before any document exists, on a context that is not a
// printer: nothing reaches a spooler.
TEST(PrintDib, StopsBeforeADocument) {
  MemHandle dib = MakeDib(8, 6, 24, 0);
  MemOwner owner(dib);
  HDC screen = CreateCompatibleDC(nullptr);
  struct Case {
    HDC dc;
    MemHandle image;
    std::int32_t width;
    bool cancel;
    Status status;
    std::vector<unsigned> sent;
  };
  const Case cases[] = {
      {nullptr, dib, 800, false, StatusBadArgument, {}},
      {screen, nullptr, 800, false, StatusBadArgument, {}},
      // Cancel waiting before the job: 100, and no document is started.
      {screen, dib, 800, true, StatusCancelled, {0}},
      {screen, dib, -800, false, StatusBadArgument, {0}},
      // A context that is no printer refuses the document.
      {screen, dib, 800, false, StatusPrintJobFailed, {0}},
  };
  for (const Case& c : cases) {
    ProgressProbe probe;
    if (c.cancel) probe.CancelAtFirstDrain();
    EXPECT_EQ(PrintDib(reinterpret_cast<HWND>(probe.channel()), nullptr, c.dc, c.image, nullptr, "doc", 0, 0,
                       c.width, 600, 0, "", 0, 0, 0),
              c.status);
    EXPECT_EQ(probe.sent(), c.sent);
  }
  DeleteDC(screen);
}

}  // namespace
