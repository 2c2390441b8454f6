// Byte-oriented file output for the image writers.
#pragma once

#include <cstddef>
#include <cstdint>

struct FileOut;  // opaque; a file HANDLE on Windows

// Creates `path`, replacing any file of that name; null on failure.
FileOut* FileCreate(const char* path);
// Creates `path` only when nothing of that name exists, opened so that no
// one else can open it while it is written; null on failure, with `*taken`
// (if given) set when the name was in use and false for any other failure.
FileOut* FileCreateNew(const char* path, bool* taken);
// Writes `size` bytes; `*written` receives the count actually stored.
// Returns false on an error or a short write.
bool FileWrite(FileOut* file, const void* data, std::uint32_t size, std::uint32_t* written);
// Moves the write position to `offset` bytes from the start.
bool FileSeek(FileOut* file, std::uint32_t offset);
// Puts what was written through the system's caches onto the disk.
bool FileFlush(FileOut* file);
// Closes the file; false when the close itself reported an error.
bool FileClose(FileOut* file);
bool FileDelete(const char* path);
// Deletes `path` only when no one (this process included) has it open.
bool FileDeleteIfUnused(const char* path);
// True when something of that name exists, or when the system cannot tell.
bool FileExists(const char* path);
// Calls `visit` with the name of each file (not directory) in `directory`
// whose name matches `pattern` (* and ? wildcards; case as the system
// compares names). `directory` is a path prefix ending in its separator,
// or empty for the current directory. False when it cannot be listed.
using FileNameVisitor = void (*)(void* context, const char* name);
bool FileForEachName(const char* directory, const char* pattern, FileNameVisitor visit, void* context);
// Moves `from` over `to`, replacing it, in one step where the system allows.
// A read-only `to` is not replaced: false, and both files stay.
bool FileReplace(const char* from, const char* to);
