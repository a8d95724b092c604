// Services of the module loader shared with the resource and process files.
#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "internal.h"
#include "kvplat/module_control.h"

namespace plat {

// The loader lock: held while the module list is read or changed, and while DllMain
// runs (it is recursive, so DllMain may load and free modules).
std::recursive_mutex &LoaderLock();

// The resource table of a loaded module (NULL hModule = the main program). NULL with
// ERROR_RESOURCE_DATA_NOT_FOUND when the module is unknown, a data-file module is
// fine, or it has no resources. Call with the loader lock held.
const KVRES_TABLE *ModuleResourceTable(HMODULE hModule);

// TRUE when entry is one of the entries of a loaded module's table. Call with the
// loader lock held.
bool ModuleOwnsResourceEntry(const KVRES_ENTRY *entry);

// Checks a resource table's header and entries; false for a malformed one.
bool ResourceTableValid(const KVRES_TABLE *table);

// The folders searched for a bare program or module name, in order: the application
// folder, then (currentFirst) the current folder, the system folder, the 16-bit system
// folder, the Windows folder, (otherwise here) the current folder, and the PATH folders.
std::vector<std::u16string> SearchFolders(bool currentFirst);

// The folder part of a full Windows path ("C:\\A\\b.dll" -> "C:\\A").
std::u16string WinFolderOf(const std::u16string &path);

// TRUE when the Windows path names a regular file on the machine; hostPath receives
// its host path.
bool WinFileExists(const std::u16string &winPath, std::string &hostPath);

}  // namespace plat
