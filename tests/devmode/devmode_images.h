// DEVMODE images for the DEVMODE tests: a good one of this driver's format, and the
// changes that make it short, huge, lying or foreign.
#pragma once

#include <string.h>

#include <vector>

#include "devmode/devmode_layout.h"

// A DEVMODE of the driver's current format, of `bytes` bytes in all (at least 1236): public
// header 0x401 / dmDriverVersion of the model / 220 / 1016, the private header of the
// template's model record, machine id and driver type, and the block offsets.
inline std::vector<BYTE> GoodDevmode(size_t bytes = KV_DM_TOTAL_SIZE)
{
  std::vector<BYTE> dm(bytes < KV_DM_TOTAL_SIZE ? KV_DM_TOTAL_SIZE : bytes, 0);
  const MODEL_RECORD *model = CtxGetTemplate()->model;
  BYTE *p = dm.data();
  DmWriteLe16(p + offsetof(DEVMODEW, dmSpecVersion), 0x401);
  DmWriteLe16(p + offsetof(DEVMODEW, dmDriverVersion), model->driverVersion);
  DmWriteLe16(p + offsetof(DEVMODEW, dmSize), KV_DM_PUBLIC_SIZE);
  DmWriteLe16(p + offsetof(DEVMODEW, dmDriverExtra), KV_DM_PRIVATE_SIZE);
  memcpy(p + KV_DM_MODEL_TAG, "TV00", 4);
  DmWriteLe32(p + KV_DM_PRIV_SIGNATURE, model->privSignature);
  DmWriteLe32(p + KV_DM_PRIV_SIZE, KV_DM_PRIVATE_SIZE);
  DmWriteLe32(p + KV_DM_PRIV_VERSION, model->privVersion);
  DmWriteLe16(p + KV_DM_CONFIG_OFFSET, KV_DEVMODE_SIZE);
  DmWriteLe16(p + KV_DM_WORK_OFFSET, KV_DEVMODE_SIZE + KV_CONFIG_BLOCK_SIZE);
  p[KV_DM_MACHINE_ID] = model->machineId;
  p[KV_DM_DRIVER_TYPE] = model->driverType;
  return dm;
}

inline void SetWord(std::vector<BYTE> &dm, size_t at, WORD v) { DmWriteLe16(dm.data() + at, v); }
inline void SetDword(std::vector<BYTE> &dm, size_t at, DWORD v) { DmWriteLe32(dm.data() + at, v); }
inline WORD GetWord(const std::vector<BYTE> &dm, size_t at) { return DmReadLe16(dm.data() + at); }
inline DWORD GetDword(const std::vector<BYTE> &dm, size_t at) { return DmReadLe32(dm.data() + at); }

// The public header words of an image.
inline void SetPublicHeader(std::vector<BYTE> &dm, WORD spec, WORD driverVersion, WORD size, WORD extra)
{
  SetWord(dm, offsetof(DEVMODEW, dmSpecVersion), spec);
  SetWord(dm, offsetof(DEVMODEW, dmDriverVersion), driverVersion);
  SetWord(dm, offsetof(DEVMODEW, dmSize), size);
  SetWord(dm, offsetof(DEVMODEW, dmDriverExtra), extra);
}
