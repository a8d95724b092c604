// What the spooler uses of the registry inside the platform layer: whole keys of
// HKEY_LOCAL_MACHINE read and written without the current user's access switches
// (the spooler records its drivers there, as Windows does).
#pragma once
#include <string>
#include <vector>

#include "internal.h"

namespace plat {
namespace reg {

struct ValueInit {
  std::u16string name;
  DWORD type;
  std::string data;  // raw bytes
};

// Creates HKLM\<path> (and its parents) and gives it exactly these values.
LONG WriteMachineKey(const std::u16string &path, const std::vector<ValueInit> &values);
// Reads every value of HKLM\<path>; ERROR_FILE_NOT_FOUND when the key is absent.
// keyName, when given, receives the key's own name as it was created.
LONG ReadMachineKey(const std::u16string &path, std::vector<ValueInit> &values, std::u16string *keyName = nullptr);
// A number that names the current content of HKLM: it changes whenever the content may
// have changed (a write here, or a re-read after another process or a hand edit changed
// the file) and is never used twice in a process. Readers of keys can keep what they
// derived from them for as long as the number stays. ERROR_SUCCESS, or the error that a
// read of any key would answer.
LONG MachineContentVersion(uint64_t &version);
// Deletes HKLM\<path> with its values (not its parents); ERROR_FILE_NOT_FOUND when absent,
// ERROR_ACCESS_DENIED when it has subkeys.
LONG DeleteMachineKey(const std::u16string &path);

// Helpers for REG_SZ data: the bytes of a string with its terminator, and back.
std::string StringData(const std::u16string &s);
std::u16string DataString(const std::string &data);

}  // namespace reg
}  // namespace plat
