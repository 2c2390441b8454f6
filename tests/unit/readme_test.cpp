// The README's layout table names exactly the folders the tree has.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(Readme, LayoutTableMatchesTheTree) {
  const fs::path root = PICTRAP_SOURCE_DIR;
  std::ifstream readme(root / "README.md");
  ASSERT_TRUE(readme) << "no README.md";
  // Rows such as "| `imaging/` | ... |".
  std::set<std::string> listed;
  for (std::string line; std::getline(readme, line);) {
    if (line.rfind("| `", 0) != 0) continue;
    const std::size_t end = line.find("/`", 3);
    if (end != std::string::npos) listed.insert(line.substr(3, end - 3));
  }
  std::set<std::string> present;
  for (const auto& entry : fs::directory_iterator(root)) {
    const std::string name = entry.path().filename().string();
    // Hidden folders, the build output and the release output are not part
    // of the layout.
    if (entry.is_directory() && name[0] != '.' && name != "build" && name != "dist") present.insert(name);
  }
  EXPECT_EQ(listed, present);
}

}  // namespace
