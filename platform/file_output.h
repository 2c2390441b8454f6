// Byte-oriented file output for the image writers.
#pragma once

#include <cstddef>
#include <cstdint>

struct FileOut;  // opaque; a file HANDLE on Windows

// Creates `path`, replacing any file of that name; null on failure.
FileOut* FileCreate(const char* path);
// Writes `size` bytes; `*written` receives the count actually stored.
// Returns false on an error or a short write.
bool FileWrite(FileOut* file, const void* data, std::uint32_t size, std::uint32_t* written);
// Moves the write position to `offset` bytes from the start.
bool FileSeek(FileOut* file, std::uint32_t offset);
// Closes the file; false when the close itself reported an error.
bool FileClose(FileOut* file);
bool FileDelete(const char* path);
// Moves `from` over `to`, replacing it, in one step where the system allows.
// A read-only `to` is not replaced: false, and both files stay.
bool FileReplace(const char* from, const char* to);
