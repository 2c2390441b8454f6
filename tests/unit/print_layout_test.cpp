// The printed page's layout and the conversion to printer pixels, with the
// cases the printed output is pinned to.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "printing/print_job.h"
#include "printing/print_layout.h"
#include "printing/printer_blocks.h"
#include "progress_probe.h"
#ifndef _WIN32
#include "platform/memory_host.h"
#endif

namespace {

constexpr PrinterPage kPage300 = {2400, 3150, 300, 300};  // 8 x 10.5 inches

struct LayoutCase {
  const char* what;
  PrinterPage page;
  bool withFileName;
  std::int32_t imageWidth, imageHeight;
  std::int32_t widthHundredths, heightHundredths;
  std::int32_t textY;
};

class PrintLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(PrintLayout, PlacesTheImage) {
  const LayoutCase& c = GetParam();
  PrintPlacement p{};
  ASSERT_EQ(LayOutPrintedImage(c.page, c.withFileName, c.imageWidth, c.imageHeight, &p), StatusOk);
  EXPECT_EQ(p.widthHundredths, c.widthHundredths);
  EXPECT_EQ(p.heightHundredths, c.heightHundredths);
  EXPECT_EQ(p.textX, 0);
  EXPECT_EQ(p.textY, c.textY);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrintLayout,
    testing::Values(
        // 640 pixels span the page width; 480 rows keep the pixels square.
        LayoutCase{"VgaFillsTheWidth", kPage300, false, 640, 480, 800, 600, 0},
        // The file name takes an inch; the text goes 5 pixels below the rest.
        // The single-precision ratios can leave a product just below a whole
        // hundredth, and truncation then drops it (599.99997 here).
        LayoutCase{"FileNameKeepsAnInch", kPage300, true, 640, 480, 800, 599, 2850 + 5},
        LayoutCase{"NarrowIsPrintedSmaller", kPage300, false, 320, 240, 400, 300, 0},
        // Wider than 640: shrunk to the page width, proportions kept.
        LayoutCase{"WideIsShrunkToTheWidth", kPage300, false, 1920, 1080, 800, 450, 0},
        // Taller than the page: fills the height, narrower than the page.
        LayoutCase{"TallFillsTheHeight", kPage300, false, 480, 2000, 251, 1050, 0},
        LayoutCase{"TallLeavesTheFileNameInch", kPage300, true, 480, 2000, 227, 950, 2855},
        // Both too wide and too tall: the tighter direction decides.
        LayoutCase{"HugeFitsBothWays", kPage300, false, 6400, 16000, 419, 1050, 0},
        // Oblong printer pixels: the image keeps square pixels in inches.
        LayoutCase{"OblongPrinterPixels", PrinterPage{2400, 6300, 300, 600}, false, 640, 480, 800, 600, 0},
        LayoutCase{"LetterAt600", PrinterPage{4800, 6000, 600, 600}, true, 1024, 768, 800, 600, 5405}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return info.param.what; });

TEST(PrintLayoutLimits, NoRoomOnThePageIs910) {
  PrintPlacement p{};
  const std::int32_t sentinel = 12345;
  p.widthHundredths = sentinel;
  EXPECT_EQ(LayOutPrintedImage(PrinterPage{0, 3150, 300, 300}, false, 640, 480, &p), StatusNoPrintableArea);
  EXPECT_EQ(LayOutPrintedImage(PrinterPage{2400, 0, 300, 300}, false, 640, 480, &p), StatusNoPrintableArea);
  // The inch for the file name is all the page has, or more.
  EXPECT_EQ(LayOutPrintedImage(PrinterPage{2400, 300, 300, 300}, true, 640, 480, &p), StatusNoPrintableArea);
  EXPECT_EQ(LayOutPrintedImage(PrinterPage{2400, 200, 300, 300}, true, 640, 480, &p), StatusNoPrintableArea);
  EXPECT_EQ(LayOutPrintedImage(PrinterPage{2400, 301, 300, 300}, true, 640, 480, &p), StatusOk);
  // A printer that reports no density would divide by zero.
  EXPECT_EQ(LayOutPrintedImage(PrinterPage{2400, 3150, 0, 300}, false, 640, 480, &p), StatusNoPrintableArea);
  EXPECT_EQ(LayOutPrintedImage(PrinterPage{2400, 3150, 300, 0}, false, 640, 480, &p), StatusNoPrintableArea);
  EXPECT_EQ(LayOutPrintedImage(kPage300, false, 0, 480, &p), StatusBadArgument);
  EXPECT_EQ(LayOutPrintedImage(kPage300, false, 640, -1, &p), StatusBadArgument);
  EXPECT_EQ(LayOutPrintedImage(kPage300, false, 640, 480, nullptr), StatusBadArgument);
}

TEST(PrintLayoutLimits, OneInchTallImageAreaStillFitsItsImage) {
  PrintPlacement p{};
  ASSERT_EQ(LayOutPrintedImage(PrinterPage{2400, 301, 300, 300}, true, 640, 480, &p), StatusOk);
  // One pixel of height left: the image is one pixel tall and as narrow as that makes it.
  EXPECT_EQ(p.heightHundredths, 0);
  EXPECT_EQ(p.widthHundredths, 0);
  EXPECT_EQ(p.textY, 6);
}

struct PixelCase {
  const char* what;
  std::int32_t left, top, width, height;  // hundredths
  std::int32_t dpiX, dpiY;
  Status status;
  PrinterRect rect;
};

class PrinterPixels : public testing::TestWithParam<PixelCase> {};

TEST_P(PrinterPixels, Converts) {
  const PixelCase& c = GetParam();
  PrinterRect r{-7, -7, -7, -7};
  ASSERT_EQ(HundredthsToPrinterPixels(c.left, c.top, c.width, c.height, c.dpiX, c.dpiY, &r), c.status);
  if (c.status != StatusOk) {
    EXPECT_EQ(r.left, -7) << "untouched on failure";
    return;
  }
  EXPECT_EQ(r.left, c.rect.left);
  EXPECT_EQ(r.top, c.rect.top);
  EXPECT_EQ(r.width, c.rect.width);
  EXPECT_EQ(r.height, c.rect.height);
}

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Cases, PrinterPixels,
    testing::Values(
        PixelCase{"Vga300", 0, 0, 800, 600, 300, 300, StatusOk, {0, 0, 2400, 1800}},
        PixelCase{"Offset600x300", 50, 100, 800, 600, 600, 300, StatusOk, {300, 300, 4800, 1800}},
        PixelCase{"TruncatesDown", 1, 1, 33, 33, 96, 96, StatusOk, {0, 0, 31, 31}},
        // Each negative value is refused as negative; in 32-bit unsigned
        // arithmetic it would have wrapped to a huge positive position.
        PixelCase{"NegativeLeft", -1, 0, 800, 600, 300, 300, StatusBadArgument, {}},
        PixelCase{"NegativeTop", 0, -100, 800, 600, 300, 300, StatusBadArgument, {}},
        // A negative extent is refused even where its edge stays on the page.
        PixelCase{"NegativeWidth", 400, 0, -100, 600, 300, 300, StatusBadArgument, {}},
        PixelCase{"NegativeHeight", 0, 400, 800, -100, 300, 300, StatusBadArgument, {}},
        // 14316558 x 300 is 2^32 + 104: unsigned 32-bit arithmetic makes it 1
        // pixel; the true extent is 42949674 pixels, which a coordinate holds.
        PixelCase{"NoWrapOfALargeExtent", 0, 0, 14316558, 600, 300, 300, StatusOk, {0, 0, 42949674, 1800}},
        // An edge beyond a 32-bit device coordinate cannot be drawn.
        PixelCase{"ExtentBeyondCoordinates", 0, 0, kMax, 600, 300, 300, StatusBadArgument, {}},
        PixelCase{"EdgeBeyondCoordinates", kMax / 3, 0, kMax / 3, 600, 300, 300, StatusBadArgument, {}},
        PixelCase{"LastCoordinate", 0, 0, kMax, 600, 100, 100, StatusOk, {0, 0, kMax, 600}}),
    [](const testing::TestParamInfo<PixelCase>& info) { return info.param.what; });

TEST(PrintDocumentName, FileNamePartOrTheProductName) {
  EXPECT_STREQ(PrintDocumentName("c:\\shots\\cap12.bmp"), "cap12.bmp");
  EXPECT_STREQ(PrintDocumentName("cap12.bmp"), "cap12.bmp");
  EXPECT_STREQ(PrintDocumentName("\\\\server\\share\\a b\\x.tif"), "x.tif");
  EXPECT_STREQ(PrintDocumentName(""), "Pictrap");
  EXPECT_STREQ(PrintDocumentName(nullptr), "Pictrap");
}

}  // namespace

namespace {

// A spooler that logs its calls and refuses the one named; the Cancel is
// seen from the chosen poll on, or (-1) inside the refused call.
struct { std::string failing, log; int cancelAt, polls; bool seen; } g_spool;

bool Call(const char* name) {
  g_spool.log += std::string(name) + " ";
  g_spool.seen |= g_spool.failing == name && g_spool.cancelAt == -1;
  return g_spool.failing != name;
}

const PrintSpooler kScripted = {
    nullptr, [](void*) { return Call("page"); }, [](void*) { return Call("image"); }, [](void*) { Call("text"); },
    [](void*) { return Call("end-page"); }, [](void*) { return Call("end-doc"); }, [](void*) { Call("abort"); },
    [](void*) { Call("poll"), ++g_spool.polls; },
    [](void*) { return g_spool.seen || (g_spool.cancelAt > 0 && g_spool.polls >= g_spool.cancelAt); }};

// A driver that draws nothing (case 2) prints no blank page: 902, no text.
TEST(PrintJob, EveryRefusalAndCancelAbortsTheDocument) {
  const struct { const char* failing; int cancelAt; Status status; const char* log; std::vector<unsigned> sent; }
  cases[] = {
      {"", 0, StatusOk, "page poll image text poll end-page end-doc poll ", {25, 50, 100}},
      {"image", 0, StatusPrintJobFailed, "page poll image abort ", {25}},
      {"page", 0, StatusPrintJobFailed, "page abort ", {}},
      {"end-page", 0, StatusPrintJobFailed, "page poll image text poll end-page abort ", {25, 50}},
      {"end-doc", 0, StatusPrintJobFailed, "page poll image text poll end-page end-doc abort ", {25, 50}},
      {"", 1, StatusCancelled, "page poll abort ", {25}},
      {"", 2, StatusCancelled, "page poll image text poll abort ", {25, 50}},
      {"end-page", -1, StatusCancelled, "page poll image text poll end-page abort ", {25, 50}},
  };
  for (const auto& c : cases) {
    g_spool = {c.failing, "", c.cancelAt, 0, false};
    ProgressProbe probe;
    EXPECT_EQ(SpoolPrintedPage(kScripted, probe.channel()), c.status) << c.failing << c.cancelAt;
    EXPECT_EQ(g_spool.log, c.log) << c.failing << c.cancelAt;
    EXPECT_EQ(probe.sent(), c.sent) << c.failing << c.cancelAt;
  }
}

#ifndef _WIN32
// What the Print Setup dialog hands back, against what was saved: the saved
// setup is both chosen blocks or none, every other block is freed exactly
// once (the sanitizers see a second free), and the dialog gets copies.
TEST(PrinterBlocks, AChoiceReplacesAndFreesTheRest) {
  enum Pick { None, Fresh, Saved };
  const struct { bool saved; Pick names, mode; bool kept; } cases[] = {{false, Fresh, Fresh, true}, {true, Fresh, Fresh, true}, {true, Saved, Saved, true},
               {true, Saved, Fresh, true},  {true, Fresh, None, false}, {true, None, None, false},
               {false, None, Fresh, false}, {true, Saved, None, false}};
  for (const auto& c : cases) {
    const std::size_t live = HostMemLiveBlocks();
    PrinterBlocks saved = c.saved ? PrinterBlocks{MemAlloc(8), MemAlloc(8)} : PrinterBlocks{};
    const PrinterBlocks copy = CopyPrinterBlocks(saved);
    EXPECT_TRUE(c.saved ? copy.names != saved.names && copy.mode != nullptr : copy.names == nullptr);
    MemFree(copy.names), MemFree(copy.mode);
    auto pick = [](Pick p, MemHandle old) { return p == Saved ? old : p == None ? nullptr : MemAlloc(8); };
    const PrinterBlocks chosen{pick(c.names, saved.names), pick(c.mode, saved.mode)};
    ReplacePrinterBlocks(&saved, chosen);
    const PrinterBlocks expected = c.kept ? chosen : PrinterBlocks{};
    EXPECT_TRUE(saved.names == expected.names && saved.mode == expected.mode) << c.saved << c.names << c.mode;
    EXPECT_EQ(HostMemLiveBlocks(), live + (c.kept ? 2 : 0)) << c.saved << c.names << c.mode;
    MemFree(saved.names), MemFree(saved.mode);
  }
}
#endif

}  // namespace
