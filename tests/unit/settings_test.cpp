// Settings rules and file naming, with the examples the program's behaviour
// is pinned to.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "shell/naming.h"
#include "shell/settings.h"

namespace {

// A profile section in memory, read the way GetPrivateProfileStringA reads.
struct FakeProfile {
  std::map<std::string, std::string> keys;
  std::vector<std::string> writes;  // in order

  SettingsStore Store() {
    return SettingsStore{
        this,
        [](void* c, const char* key, const char* fallback, char* buffer, std::size_t size) {
          auto* p = static_cast<FakeProfile*>(c);
          const auto it = p->keys.find(key);
          std::snprintf(buffer, size, "%s", it == p->keys.end() ? fallback : it->second.c_str());
        },
        [](void* c, const char* key, const char* text) {
          auto* p = static_cast<FakeProfile*>(c);
          p->keys[key] = text;
          p->writes.push_back(key);
        }};
  }
};

struct FakeDisk {
  std::int32_t highest = 0;
  std::string askedDirectory, askedExtension;
};

SettingsEnvironment Environment(FakeDisk* disk, const char* currentDir = "C:\\WORK") {
  return SettingsEnvironment{1024, 768, currentDir,
                             [](void* c, char* directory, const char* extension) {
                               auto* d = static_cast<FakeDisk*>(c);
                               d->askedDirectory = directory;
                               d->askedExtension = extension;
                               return d->highest;
                             },
                             disk};
}

TEST(ProfileInt, StringToIntegerRule) {
  EXPECT_EQ(ParseProfileInt("42"), 42);
  EXPECT_EQ(ParseProfileInt("  -7x"), -7);
  EXPECT_EQ(ParseProfileInt("+12"), 12);
  EXPECT_EQ(ParseProfileInt("abc"), 0);
  EXPECT_EQ(ParseProfileInt(""), 0);
  EXPECT_EQ(ParseProfileInt("12ab34"), 12);
}

TEST(LoadSettings, DefaultsWithNoFile) {
  FakeProfile profile;
  FakeDisk disk;
  Settings s;
  LoadSettings(profile.Store(), Environment(&disk), &s);
  EXPECT_EQ(s.Mode, 1);
  EXPECT_EQ(s.SizeWd, 2);
  EXPECT_EQ(s.SizeHt, 2);
  EXPECT_EQ(s.IncludeCursor, 0);
  EXPECT_EQ(s.Alt, 1);
  EXPECT_EQ(s.Ctrl, 1);
  EXPECT_EQ(s.Shift, 0);
  EXPECT_EQ(s.Key, 10);
  EXPECT_EQ(s.Greyscale + s.Invert + s.Dither + s.ToClipbd + s.Print + s.IncFileName, 0);
  EXPECT_EQ(s.AutoSave, 1);
  EXPECT_EQ(s.CapFormat, 4) << "a first run saves PNG files";
  EXPECT_STREQ(s.CapDir, "C:\\WORK");
  EXPECT_STREQ(s.AutoNamePrefix, "Cap");
  EXPECT_EQ(s.AutoName, 1);
  EXPECT_EQ(s.NextCaptureNumber, 1);
  EXPECT_EQ(disk.askedExtension, "png");
  EXPECT_EQ(disk.askedDirectory, "C:\\WORK");
  EXPECT_TRUE(profile.writes.empty()) << "loading writes nothing";
}

TEST(LoadSettings, FormatOutsideOneToFourBecomesPng) {
  const std::pair<const char*, int> t[] = {{"0", 4}, {"1", 1}, {"2", 2}, {"3", 3}, {"4", 4}, {"5", 4}, {" 2", 2}};
  for (auto [text, format] : t) {
    FakeProfile profile;
    profile.keys = {{"CapFormat", text}};
    FakeDisk disk;
    disk.highest = 41;
    Settings s;
    LoadSettings(profile.Store(), Environment(&disk), &s);
    EXPECT_EQ(s.CapFormat, format) << text;
    EXPECT_EQ(s.NextCaptureNumber, 42) << text;
    EXPECT_TRUE(profile.writes.empty()) << "the correction stays in memory";
  }
}

TEST(LoadSettings, DelayOutsideTheListIsNone) {
  const std::pair<const char*, int> table[] = {{nullptr, 0}, {"0", 0},  {"3", 3},     {"5", 5},     {"10", 10},
                                               {"4", 0},     {"-3", 0}, {"10000", 0}, {"abc", 0},   {" 5", 5},
                                               {"100003", 0}, {"", 0}};
  for (auto [text, delay] : table) {
    FakeProfile profile;
    if (text != nullptr) profile.keys = {{"Delay", text}};
    FakeDisk disk;
    Settings s;
    LoadSettings(profile.Store(), Environment(&disk), &s);
    EXPECT_EQ(s.Delay, delay) << (text != nullptr ? text : "no key");
  }
}

TEST(LoadSettings, Corrections) {
  FakeProfile profile;
  profile.keys = {{"SizeWd", "1"}, {"SizeHt", "5000"}, {"Mode", "9"}, {"Key", "300"}, {"Alt", "257"},
                  {"CapFormat", "65538"}, {"AutoName", "0"}};
  FakeDisk disk;
  Settings s;
  LoadSettings(profile.Store(), Environment(&disk), &s);
  EXPECT_EQ(s.SizeWd, 1024) << "below 2: the screen's width";
  EXPECT_EQ(s.SizeHt, 768) << "beyond the screen: its height";
  EXPECT_EQ(s.Mode, 3);
  EXPECT_EQ(s.Key, 44) << "the low 8 bits of 300";
  EXPECT_EQ(s.Alt, 1);
  EXPECT_EQ(s.CapFormat, 4) << "655 (three characters read) is no format: PNG";
  EXPECT_EQ(s.AutoName, 0);

  profile.keys = {{"SizeWd", "2"}, {"SizeHt", "768"}, {"Mode", "-1"}};
  LoadSettings(profile.Store(), Environment(&disk), &s);
  EXPECT_EQ(s.SizeWd, 2);
  EXPECT_EQ(s.SizeHt, 768);
  EXPECT_EQ(s.Mode, -1) << "a negative mode stays";
}

TEST(LoadSettings, LongTextsAreCutToTheirBuffers) {
  FakeProfile profile;
  profile.keys = {{"AutoNamePrefix", "ABCDEFGHIJK"}, {"CapDir", std::string(200, 'd')}, {"Mode", "12345"}};
  FakeDisk disk;
  Settings s;
  LoadSettings(profile.Store(), Environment(&disk), &s);
  EXPECT_STREQ(s.AutoNamePrefix, "ABCDEFGH");
  EXPECT_EQ(std::string(s.CapDir), std::string(127, 'd'));
  EXPECT_EQ(s.Mode, 3) << "only 3 characters are read: 123, then corrected";
}

// What no file name may hold, typed or pasted into the prefix or found in
// the settings file, is dropped; the caret stays after what was typed.
TEST(FileNameCharacters, RefusedWhereverTheyCome) {
  const struct { const char* text; std::size_t caret; const char* kept; std::size_t removed, newCaret; } cases[] = {{"Cap", 3, "Cap", 0, 3},   {"C:p", 2, "Cp", 1, 1}, {"a\\/:*?\"<>|b", 11, "ab", 9, 2},
               {"|ab", 0, "ab", 1, 0},    {"a\tb\x1f", 3, "ab", 2, 2}, {"x. y-\xe9", 6, "x. y-\xe9", 0, 6}};
  for (const auto& c : cases) {
    std::string text = c.text;
    std::size_t caret = c.caret;
    EXPECT_EQ(RemoveNonFileNameCharacters(text.data(), &caret), c.removed) << c.text;
    EXPECT_STREQ(text.c_str(), c.kept);
    EXPECT_EQ(caret, c.newCaret) << c.text;
  }
  FakeProfile profile;
  profile.keys = {{"AutoNamePrefix", "C:a*"}};
  FakeDisk disk;
  Settings s;
  LoadSettings(profile.Store(), Environment(&disk), &s);
  EXPECT_STREQ(s.AutoNamePrefix, "Ca");
}

TEST(LoadSettings, NextNumberContinuesFromTheDisk) {
  FakeProfile profile;
  profile.keys = {{"CapFormat", "1"}, {"CapDir", "C:\\SHOTS\\"}};
  FakeDisk disk;
  disk.highest = 12;
  Settings s;
  LoadSettings(profile.Store(), Environment(&disk), &s);
  EXPECT_EQ(s.NextCaptureNumber, 13);
  EXPECT_EQ(disk.askedExtension, "bmp");
  EXPECT_STREQ(s.CapDir, "C:\\SHOTS\\") << "the search works on a copy";

  profile.keys["AutoSave"] = "0";
  LoadSettings(profile.Store(), Environment(&disk), &s);
  EXPECT_EQ(s.NextCaptureNumber, 1);
  disk.highest = 9999;
  profile.keys["AutoSave"] = "1";
  LoadSettings(profile.Store(), Environment(&disk), &s);
  EXPECT_EQ(s.NextCaptureNumber, 1) << "past 9999 the numbers start again";
}

TEST(SaveSetupSettings, FifteenKeysInOrderThenTheDelay) {
  FakeProfile profile;
  FakeDisk disk;
  Settings s;
  LoadSettings(profile.Store(), Environment(&disk), &s);
  s.Key = 3;
  s.Mode = 5;
  s.CapFormat = 3;
  s.Delay = 5;
  disk.highest = 41;
  SaveSetupSettings(profile.Store(), Environment(&disk), &s);
  const std::vector<std::string> order = {"Mode", "SizeWd", "SizeHt", "IncludeCursor", "Alt",
                                          "Ctrl", "Shift",  "Key",    "Greyscale",     "Invert",
                                          "Dither", "ToClipbd", "Print", "IncFileName", "AutoSave", "Delay"};
  EXPECT_EQ(profile.writes, order);
  EXPECT_EQ(profile.keys["Key"], "3");
  EXPECT_EQ(profile.keys["Mode"], "5");
  EXPECT_EQ(profile.keys["Delay"], "5");
  EXPECT_EQ(profile.keys.count("CapFormat"), 0u) << "not Capture Setup's key";
  EXPECT_EQ(s.NextCaptureNumber, 42);
  EXPECT_EQ(disk.askedExtension, "tif");
}

TEST(ModuleFilePath, DirectoryPlusNameOrQuestionMark) {
  char out[160];
  BuildModuleFilePath("C:\\PICTRAP\\SHOTBOX.EXE", "SHOTBOX.INI", out, sizeof out);
  EXPECT_STREQ(out, "C:\\PICTRAP\\SHOTBOX.INI");
  BuildModuleFilePath("A:SHOTBOX.EXE", "SHOTBOX.HLP", out, sizeof out);
  EXPECT_STREQ(out, "A:SHOTBOX.HLP");
  const std::string deep120 = "C:" + std::string(118, 'x') + "\\SHOTBOX.EXE";  // separator at 120
  BuildModuleFilePath(deep120.c_str(), "SHOTBOX.INI", out, sizeof out);
  EXPECT_EQ(std::string(out), deep120.substr(0, 121) + "SHOTBOX.INI");
  const std::string deep121 = "C:" + std::string(119, 'x') + "\\SHOTBOX.EXE";  // separator at 121
  BuildModuleFilePath(deep121.c_str(), "SHOTBOX.INI", out, sizeof out);
  EXPECT_EQ(std::string(out), deep121.substr(0, 122) + "?");
  // The whole path decides: cut at 127 characters, this one would have named
  // C:\PICTRAP\SHOTBOX.INI, another folder's file.
  const std::string deep150 = "C:\\PICTRAP\\" + std::string(130, 'x') + "\\SHOTBOX.EXE";
  BuildModuleFilePath(deep150.c_str(), "SHOTBOX.INI", out, sizeof out);
  EXPECT_EQ(std::string(out), deep150.substr(0, 142) + "?");
  BuildModuleFilePath(nullptr, "SHOTBOX.INI", out, sizeof out);
  EXPECT_STREQ(out, "?") << "an unknown path";
  BuildModuleFilePath(deep150.c_str(), "SHOTBOX.INI", out, 20);
  EXPECT_EQ(std::string(out), deep150.substr(0, 18) + "?") << "the ? survives a small buffer";
}

Settings Named(const char* dir, const char* prefix, int number, std::uint16_t format) {
  Settings s{};
  std::snprintf(s.CapDir, sizeof s.CapDir, "%s", dir);
  std::snprintf(s.AutoNamePrefix, sizeof s.AutoNamePrefix, "%s", prefix);
  s.NextCaptureNumber = number;
  s.CapFormat = format;
  return s;
}

TEST(AutoFileName, DirectoryPrefixNumberExtension) {
  char out[kFileNameSize];
  ASSERT_TRUE(MakeAutoFileName(Named("C:\\SHOTS", "Cap", 7, 1), out, sizeof out));
  EXPECT_STREQ(out, "C:\\SHOTS\\Cap7.bmp");
  ASSERT_TRUE(MakeAutoFileName(Named("C:", "Cap", 7, 1), out, sizeof out));
  EXPECT_STREQ(out, "C:\\Cap7.bmp");
  ASSERT_TRUE(MakeAutoFileName(Named("C:\\", "Cap", 7, 1), out, sizeof out));
  EXPECT_STREQ(out, "C:\\Cap7.bmp");
  ASSERT_TRUE(MakeAutoFileName(Named("C:\\SHOTS\\", "Img", 12, 3), out, sizeof out));
  EXPECT_STREQ(out, "C:\\SHOTS\\Img12.tif");
  ASSERT_TRUE(MakeAutoFileName(Named("C:\\SHOTS", "Cap", 1, 4), out, sizeof out));
  EXPECT_STREQ(out, "C:\\SHOTS\\Cap1.png");
  ASSERT_TRUE(MakeAutoFileName(Named("D:\\X", "Cap", 1, 0), out, sizeof out));
  EXPECT_STREQ(out, "D:\\X\\Cap1") << "no format, no extension";
  ASSERT_TRUE(MakeAutoFileName(Named("", "Cap", 3, 2), out, sizeof out));
  EXPECT_STREQ(out, "Cap3.pcx");

  // Every number outside 1 to 9998 starts again at 1, the largest int too.
  const std::int32_t advanced[][2] = {{INT32_MIN, 1}, {-1, 1}, {0, 1},         {1, 2},
                                      {9998, 9999},   {9999, 1}, {10000, 1}, {INT32_MAX, 1}};
  for (const auto& [from, to] : advanced) {
    Settings s = Named("C:", "Cap", from, 1);
    AdvanceCaptureNumber(&s);
    EXPECT_EQ(s.NextCaptureNumber, to) << from;
  }

  const std::string longDir = "C:\\" + std::string(250, 'd');
  EXPECT_FALSE(MakeAutoFileName(Named(longDir.c_str(), "Cap", 7, 1), out, sizeof out));
  EXPECT_STREQ(out, "") << "a name that cannot be a path is refused, not cut";
}

TEST(CaptureNumbers, FromFileNames) {
  EXPECT_EQ(CaptureNumberOf("cap5.bmp"), 5);
  EXPECT_EQ(CaptureNumberOf("CAP12.bmp"), 12);
  EXPECT_EQ(CaptureNumberOf("Cap1234.bmp"), 1234);
  EXPECT_EQ(CaptureNumberOf("Cap12345.bmp"), 1234) << "at most four characters";
  EXPECT_EQ(CaptureNumberOf("Capture.bmp"), 0);
  EXPECT_EQ(CaptureNumberOf("Ca"), 0);
}

TEST(Extensions, TheChosenTypeDecides) {
  char path[kFileNameSize] = "C:\\SHOTS\\shot.txt";
  ASSERT_TRUE(ReplaceExtension(path, sizeof path, 2));
  EXPECT_STREQ(path, "C:\\SHOTS\\shot.pcx");
  std::snprintf(path, sizeof path, "C:\\SHOTS\\shot");
  ASSERT_TRUE(ReplaceExtension(path, sizeof path, 3));
  EXPECT_STREQ(path, "C:\\SHOTS\\shot.tif");
  std::snprintf(path, sizeof path, "C:\\SHOTS\\shot.bmp");
  ASSERT_TRUE(ReplaceExtension(path, sizeof path, 4));
  EXPECT_STREQ(path, "C:\\SHOTS\\shot.png");
  std::snprintf(path, sizeof path, "C:\\MY.DIR\\shot");
  ASSERT_TRUE(ReplaceExtension(path, sizeof path, 1));
  EXPECT_STREQ(path, "C:\\MY.DIR\\shot.bmp") << "a dot in a directory name is no extension";
  std::string full(256, 'a');  // with ".bmp", one more than the buffer holds
  std::snprintf(path, sizeof path, "%s", full.c_str());
  EXPECT_FALSE(ReplaceExtension(path, sizeof path, 1));
  EXPECT_EQ(std::string(path), full) << "left alone when it would not fit";
}

TEST(PathRoots, DriveAndUncRoots) {
  EXPECT_EQ(PathRootLength("C:\\SHOTS\\a.bmp"), 3);
  EXPECT_EQ(PathRootLength("C:\\"), 3);
  EXPECT_EQ(PathRootLength("\\\\server\\share\\dir\\a.bmp"), 15);
  EXPECT_TRUE(PathRootLength("\\\\server\\share\\") & kPathRootError) << "root as long as the path";
  EXPECT_TRUE(PathRootLength("\\\\server\\share") & kPathRootError);
  EXPECT_TRUE(PathRootLength("\\\\server") & kPathRootError);
  EXPECT_TRUE(PathRootLength("C:") & kPathRootError);
  EXPECT_TRUE(PathRootLength("relative\\a.bmp") & kPathRootError);
  EXPECT_TRUE(PathRootLength("") & kPathRootError);
  EXPECT_EQ(FileNamePart("C:\\SHOTS\\Cap7.bmp"), 9u);
  EXPECT_EQ(FileNamePart("Cap7.bmp"), 0u);
  EXPECT_EQ(FileNamePart(""), 0u);
}

TEST(Texts, QuestionAndStatusFitTheirBuffers) {
  char q[kQuestionSize];
  FormatOverwriteQuestion("C:\\Cap7.bmp", q, sizeof q);
  EXPECT_STREQ(q, "The filename, C:\\Cap7.bmp, is already in use.  Would you like to overwrite it.");
  const std::string deep = "C:\\" + std::string(230, 'd') + "\\Cap7.bmp";
  FormatOverwriteQuestion(deep.c_str(), q, sizeof q);
  const std::string question = q;
  EXPECT_LT(question.size(), sizeof q);
  EXPECT_NE(question.find("C:\\...\\Cap7.bmp, is already in use."), std::string::npos) << question;

  char t[kStatusTextSize];
  FormatSavingText("C:\\SHOTS\\Cap7.bmp", t, sizeof t);
  EXPECT_STREQ(t, "Saving - Cap7.bmp");
  const std::string longName = "C:\\" + std::string(200, 'n') + ".pcx";
  FormatSavingText(longName.c_str(), t, sizeof t);
  const std::string text = t;
  EXPECT_LT(text.size(), sizeof t);
  EXPECT_EQ(text.rfind("Saving - nnn", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 4), ".pcx") << "the extension stays visible";
  EXPECT_NE(text.find("..."), std::string::npos);

  char tiny[6];
  ShortenPath("C:\\abc\\def", 10, tiny, sizeof tiny);
  EXPECT_EQ(std::strlen(tiny), 5u);
}

}  // namespace
