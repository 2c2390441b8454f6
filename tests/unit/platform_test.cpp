// Both implementations of each platform seam meet these tests: natively the
// host one, under Wine the Win32 one.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/file_output.h"
#include "temp_dir.h"
#include "platform/memory.h"
#include "platform/progress.h"
#ifdef _WIN32
#include <windows.h>
#else
#include "platform/file_output_host.h"
#include "platform/memory_host.h"
#include "platform/progress_host.h"
#endif

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(MemoryBlocks, ZeroFilledLockableAndSized) {
  for (std::size_t size : {1u, 7u, 40u, 4096u, 1u << 20}) {
    MemHandle h = MemAlloc(size);
    ASSERT_NE(h, nullptr);
    EXPECT_GE(MemSize(h), size);
    auto* p = static_cast<unsigned char*>(MemLock(h));
    ASSERT_NE(p, nullptr);
    for (std::size_t i = 0; i < MemSize(h); ++i) ASSERT_EQ(p[i], 0) << "byte " << i << " of " << size;
    std::memset(p, 0xA5, size);
    MemUnlock(h);
    // A second lock sees what the first wrote, wherever the block now lives.
    auto* q = static_cast<unsigned char*>(MemLock(h));
    EXPECT_EQ(q[size - 1], 0xA5);
    MemUnlock(h);
    EXPECT_EQ(MemFree(h), nullptr);
  }
  EXPECT_EQ(MemLock(nullptr), nullptr);
  EXPECT_EQ(MemSize(nullptr), 0u);
  EXPECT_EQ(MemFree(nullptr), nullptr);
}

TEST(MemoryBlocks, GuardsReleaseOnScopeExit) {
  MemHandle h = MemAlloc(16);
  {
    MemLockGuard outer(h);
    MemLockGuard inner(h);
    EXPECT_EQ(outer.data(), inner.data());
    EXPECT_GE(inner.size(), 16u);
  }
#ifndef _WIN32
  EXPECT_EQ(HostMemOpenLocks(), 0u);
  const std::size_t live = HostMemLiveBlocks();
  { MemOwner owner(MemAlloc(8)); }
  EXPECT_EQ(HostMemLiveBlocks(), live);
#endif
  MemOwner keep(h);
  EXPECT_EQ(keep.release(), h);
  MemFree(h);
}

#ifndef _WIN32
TEST(MemoryBlocks, InjectedAllocationFailure) {
  HostMemFailAllocation(1);
  MemHandle first = MemAlloc(4);
  MemHandle second = MemAlloc(4);
  MemHandle third = MemAlloc(4);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_NE(third, nullptr) << "only the chosen allocation fails";
  MemFree(first);
  MemFree(third);
  HostMemFailAllocation(-1);
}
#endif

using FileOutput = TempDir;

TEST_F(FileOutput, CreateWriteSeekCloseReplacesOldContent) {
  const std::string path = PathOf("out.bin");
  { std::ofstream(path) << "an older and longer file"; }
  FileOut* f = FileCreate(path.c_str());
  ASSERT_NE(f, nullptr);
  std::uint32_t written = 0;
  EXPECT_TRUE(FileWrite(f, "abcdef", 6, &written));
  EXPECT_EQ(written, 6u);
  EXPECT_TRUE(FileSeek(f, 2));
  EXPECT_TRUE(FileWrite(f, "XY", 2, &written));
  EXPECT_TRUE(FileClose(f));
  EXPECT_EQ(ReadAll(path), "abXYef") << "create replaces, seek overwrites in place";
}

TEST_F(FileOutput, DeleteAndReplace) {
  const std::string a = PathOf("a.tmp"), b = PathOf("b.bmp");
  { std::ofstream(a) << "new"; }
  { std::ofstream(b) << "old"; }
  EXPECT_TRUE(FileReplace(a.c_str(), b.c_str()));
  EXPECT_FALSE(fs::exists(a));
  EXPECT_EQ(ReadAll(b), "new");
  EXPECT_TRUE(FileDelete(b.c_str()));
  EXPECT_FALSE(fs::exists(b));
  EXPECT_FALSE(FileDelete(b.c_str()));
  EXPECT_EQ(FileCreate(PathOf("missing-dir/x.bmp").c_str()), nullptr);

  // A read-only file is kept, as the system's copy commands keep it.
  { std::ofstream(a) << "new"; }
  { std::ofstream(b) << "read-only"; }
  fs::permissions(b, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_FALSE(FileReplace(a.c_str(), b.c_str()));
  fs::permissions(b, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(ReadAll(b), "read-only");
  EXPECT_EQ(ReadAll(a), "new");
}

#ifndef _WIN32
TEST_F(FileOutput, InjectedFaults) {
  const std::string path = PathOf("f.bin");
  HostFileFaults faults;
  faults.failCreate = true;
  HostFileSetFaults(faults);
  EXPECT_EQ(FileCreate(path.c_str()), nullptr);

  faults = HostFileFaults{};
  faults.shortWriteAt = 1;
  faults.shortBy = 2;
  HostFileSetFaults(faults);
  FileOut* f = FileCreate(path.c_str());
  ASSERT_NE(f, nullptr);
  std::uint32_t written = 0;
  EXPECT_TRUE(FileWrite(f, "1234", 4, &written));
  EXPECT_FALSE(FileWrite(f, "5678", 4, &written));
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(HostFileWriteCount(), 2);
  EXPECT_TRUE(FileClose(f));
  EXPECT_EQ(ReadAll(path), "123456");
  HostFileSetFaults(HostFileFaults{});
}
#endif

TEST(Progress, NullChannelSendsAndDrainsNothing) {
  SendProgress(nullptr, 50);
  EXPECT_FALSE(DrainAndCheckCancel(nullptr));
}

#ifdef _WIN32
// A stand-in status window that records the percentages it is sent.
std::vector<unsigned> g_received;

LRESULT CALLBACK RecorderProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == kProgressMessage) {
    g_received.push_back(static_cast<unsigned>(wp));
    return 0;
  }
  return DefWindowProcA(w, m, wp, lp);
}

TEST(Progress, StatusWindowReceivesPercentagesAndCancelIsFound) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = RecorderProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "PictrapProgressRecorder";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  auto* channel = reinterpret_cast<ProgressChannel*>(window);
  g_received.clear();
  SendProgress(channel, 0);
  SendProgress(channel, 37);
  SendProgress(channel, 100);
  EXPECT_EQ(g_received, (std::vector<unsigned>{0, 37, 100}));

  EXPECT_FALSE(DrainAndCheckCancel(channel));
  PostMessageA(window, WM_USER + 7, 0, 0);
  PostMessageA(window, kCancelMessage, 0, 0);
  PostMessageA(window, WM_USER + 8, 0, 0);
  EXPECT_TRUE(DrainAndCheckCancel(channel));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 8)) << "what follows the cancel stays queued";
  EXPECT_FALSE(DrainAndCheckCancel(channel)) << "a cancel is reported once";
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "the queue is drained";
  DestroyWindow(window);
}
#else
TEST(Progress, HostChannelRecordsAndCancelsAtTheChosenDrain) {
  ProgressChannel channel;
  channel.cancelAtDrain = 3;
  SendProgress(&channel, 0);
  EXPECT_FALSE(DrainAndCheckCancel(&channel));
  EXPECT_FALSE(DrainAndCheckCancel(&channel));
  EXPECT_TRUE(DrainAndCheckCancel(&channel));
  EXPECT_FALSE(DrainAndCheckCancel(&channel));
  EXPECT_EQ(channel.sent, std::vector<unsigned>{0});
  EXPECT_EQ(channel.drains, 4);
}
#endif

}  // namespace
