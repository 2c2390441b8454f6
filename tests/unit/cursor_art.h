// Reads a cursor picture of capture/cursors (the description the build turns
// into a .cur file) independently of its generator, for the tests that check
// the picture against its stated form and the built cursor against the
// picture.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct CursorArt {
  int width = 0, height = 0, hotX = -1, hotY = -1;
  std::vector<std::string> rows;  // '.', '#' or 'o' per pixel, top row first
  char At(int x, int y) const { return rows[y][x]; }
};

inline std::string CursorArtPath(const char* name) {
  return std::string(PICTRAP_SOURCE_DIR) + "/capture/cursors/" + name + ".txt";
}

inline bool ReadCursorArt(const std::string& path, CursorArt* art) {
  std::ifstream in(path);
  if (!in) return false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line.size() >= 2 && line.front() == '|' && line.back() == '|') {
      art->rows.push_back(line.substr(1, line.size() - 2));
      continue;
    }
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "size") words >> art->width >> art->height;
    else if (key == "hotspot") words >> art->hotX >> art->hotY;
    else return false;
  }
  if (static_cast<int>(art->rows.size()) != art->height) return false;
  for (const std::string& row : art->rows) {
    if (static_cast<int>(row.size()) != art->width || row.find_first_not_of(".#o") != std::string::npos) return false;
  }
  return art->width > 0;
}
