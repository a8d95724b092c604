// The installed test printer that the fuzz targets working on a driver context share (and
// bench_merge).
#pragma once

#include <string>
#include <vector>

#include "context.h"

// Makes a machine root in a fresh temporary folder (removed at exit) with C:\WINDOWS\system32
// and the given extra folders (relative to C:, "/"-separated), installs the test printer
// "KV Test" with its driver, opens it with full access and puts the smallest compiled
// description (a header block without items) into the process cache under the driver's data
// file. *root := the host path of the root. Aborts with a message naming target on failure.
// A target that keeps a context registers its release with atexit after this call, so that
// the context is released before the root goes.
HANDLE FuzzInstallTestPrinter(const char *target, const std::vector<std::string> &folders, std::string *root);
// Copies the description text at samplePath (a path of this computer) to C:\sample\KVSAMPLE.KVD
// under the root and compiles it there; the compiled block, or NULL when it does not compile.
struct DESC_BLOB *FuzzCompileSample(const std::string &root, const char *samplePath);
