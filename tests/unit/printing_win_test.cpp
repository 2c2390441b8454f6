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

// A stand-in for PrintDlgA that plays a script: each call records the
// handles it was given and answers with the next step, putting fresh blocks
// into the record where the step says so. A step may also store blocks where
// the saved ones are, as a capture printed while the dialog is open does.
struct DialogStep {
  BOOL ok;
  DWORD error;
  bool newNames;
  bool newMode;
  bool printMeanwhile = false;
};

struct DialogCall {
  PRINTDLGA record;
};

std::vector<DialogStep> g_script;
std::vector<DialogCall> g_calls;
std::vector<HGLOBAL> g_made, g_printed;
HGLOBAL* g_savedNames = nullptr;
HGLOBAL* g_savedMode = nullptr;

BOOL ScriptedDialog(PRINTDLGA* record, DWORD* error) {
  g_calls.push_back(DialogCall{*record});
  const DialogStep step = g_script.at(g_calls.size() - 1);
  if (step.printMeanwhile) {
    g_printed = {*g_savedNames = GlobalAlloc(GHND, 64), *g_savedMode = GlobalAlloc(GHND, 256)};
  }
  if (step.newNames) g_made.push_back(record->hDevNames = GlobalAlloc(GHND, 64));
  if (step.newMode) g_made.push_back(record->hDevMode = GlobalAlloc(GHND, 256));
  *error = step.error;
  return step.ok;
}

enum class Saved { None, Both, ModeOnly };
enum class Kept { None, Saved, Made };

struct SetupCase {
  const char* what;
  Saved saved;
  std::vector<DialogStep> script;
  bool secondStartsEmpty;  // a second dialog, with no handles
  Kept kept;
};

class PrinterSetupRecord : public testing::TestWithParam<SetupCase> {};

TEST_P(PrinterSetupRecord, KeepsWhatTheRecordHolds) {
  const SetupCase& c = GetParam();
  g_script = c.script;
  g_calls.clear();
  g_made.clear();
  g_printed.clear();
  HGLOBAL names = c.saved == Saved::Both ? GlobalAlloc(GHND, 64) : nullptr;
  HGLOBAL mode = c.saved != Saved::None ? GlobalAlloc(GHND, 256) : nullptr;
  g_savedNames = &names;
  g_savedMode = &mode;
  const HGLOBAL savedNames = names, savedMode = mode;
  const HWND owner = reinterpret_cast<HWND>(0x1230);
  const HINSTANCE instance = GetModuleHandleA(nullptr);

  PrinterSetupWith(ScriptedDialog, owner, instance, &names, &mode);

  ASSERT_EQ(g_calls.size(), c.secondStartsEmpty ? 2u : 1u);
  const PRINTDLGA& first = g_calls[0].record;
  EXPECT_EQ(first.lStructSize, 66u);
  EXPECT_EQ(first.Flags, 0x2040u) << "PD_PRINTSETUP | PD_ENABLESETUPHOOK";
  EXPECT_EQ(first.hwndOwner, owner);
  EXPECT_EQ(first.hInstance, instance);
  EXPECT_EQ(first.lpfnSetupHook, &PrinterSetupHook);
  // Copies of both saved blocks go in, never the saved ones; a lone one is
  // offered as none.
  EXPECT_EQ(first.hDevNames != nullptr, c.saved == Saved::Both);
  EXPECT_EQ(first.hDevMode != nullptr, c.saved == Saved::Both);
  if (c.saved == Saved::Both) {
    EXPECT_NE(first.hDevNames, savedNames);
    EXPECT_NE(first.hDevMode, savedMode);
  }
  if (c.secondStartsEmpty) {
    EXPECT_EQ(g_calls[1].record.hDevNames, nullptr) << "the second dialog starts on the default printer";
    EXPECT_EQ(g_calls[1].record.hDevMode, nullptr);
  }
  switch (c.kept) {
    case Kept::None:
      EXPECT_EQ(names, nullptr);
      EXPECT_EQ(mode, nullptr);
      break;
    case Kept::Saved:  // the copies of the saved printer, handed back
      EXPECT_EQ(names, first.hDevNames);
      EXPECT_EQ(mode, first.hDevMode);
      break;
    case Kept::Made:
      EXPECT_EQ(names, g_made.at(g_made.size() - 2));
      EXPECT_EQ(mode, g_made.at(g_made.size() - 1));
      break;
  }
  for (HGLOBAL printed : g_printed) EXPECT_EQ(GlobalFlags(printed), UINT{GMEM_INVALID_HANDLE}) << "not freed";
  if (names != nullptr) GlobalFree(names);
  if (mode != nullptr) GlobalFree(mode);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrinterSetupRecord,
    testing::Values(
        SetupCase{"FirstChoiceIsKept", Saved::None, {{TRUE, 0, true, true}}, false, Kept::Made},
        SetupCase{"CancelKeepsTheSavedPrinter", Saved::Both, {{FALSE, 0, false, false}}, false, Kept::Saved},
        SetupCase{"VanishedPrinterOpensOnTheDefault", Saved::Both,
                  {{FALSE, PDERR_PRINTERNOTFOUND, false, false}, {TRUE, 0, true, true}}, true, Kept::Made},
        SetupCase{"ChangedDefaultOpensOnTheDefault", Saved::Both,
                  {{FALSE, PDERR_DEFAULTDIFFERENT, false, false}, {FALSE, 0, false, false}}, true, Kept::None},
        // With nothing saved there is nothing to drop: no asking again and again.
        SetupCase{"NotFoundWithNothingSavedAsksOnce", Saved::None,
                  {{FALSE, PDERR_PRINTERNOTFOUND, false, false}, {FALSE, PDERR_PRINTERNOTFOUND, false, false}},
                  false, Kept::None},
        SetupCase{"OtherErrorsEndTheSetup", Saved::Both, {{FALSE, CDERR_STRUCTSIZE, false, false}}, false,
                  Kept::Saved},
        SetupCase{"ALoneBlockIsFreed", Saved::None, {{TRUE, 0, false, true}}, false, Kept::None},
        SetupCase{"ALoneSavedBlockIsDropped", Saved::ModeOnly, {{TRUE, 0, true, true}}, false, Kept::Made},
        SetupCase{"BlocksAPrintStoredMeanwhileAreFreed", Saved::Both, {{TRUE, 0, true, true, true}}, false,
                  Kept::Made}),
    [](const testing::TestParamInfo<SetupCase>& info) { return info.param.what; });

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
