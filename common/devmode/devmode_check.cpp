// The format tests of a DEVMODE that comes from outside the driver: whether it is of this
// driver's current format, of the same printer model, or of the same model and size.
#include "devmode/devmode_header.h"
#include "devmode/devmode_layout.h"

namespace {

enum : DWORD {
  kCheckSignature = 0x1,
  kCheckSize = 0x2,
  kCheckVersion = 0x4,
  kCheckMachine = 0x8,
  kCheckDriverType = 0x10,
  kCheckModel = kCheckSignature | kCheckMachine | kCheckDriverType,
};

// The driver-type byte against the model record's: types 0 and 1 demand the same byte,
// any other model type puts no condition on it.
bool DriverTypeMatches(BYTE modelType, BYTE stored)
{
  if (modelType == 0 || modelType == 1) return stored == modelType;
  return true;
}

// Runs the selected tests on a DEVMODE whose claimed extent must reach `extent` bytes.
int CheckFields(const BYTE *devmode, DWORD tests, DWORD extent)
{
  if (devmode == NULL) return 0;
  // Trust rule: nothing beyond the DEVMODE's own dmSize + dmDriverExtra is read.
  if (DmClaimedExtent(devmode) < extent) return 0;
  DRIVER_CONTEXT *tpl = CtxGetTemplate();
  if (tpl == NULL || tpl->model == NULL) return 0;
  const MODEL_RECORD *model = tpl->model;
  if ((tests & kCheckSignature) && DmReadLe32(devmode + KV_DM_PRIV_SIGNATURE) != model->privSignature) return 0;
  if ((tests & kCheckSize) && DmReadLe32(devmode + KV_DM_PRIV_SIZE) != DmGetPrivateSize()) return 0;
  if ((tests & kCheckVersion) && DmReadLe32(devmode + KV_DM_PRIV_VERSION) != model->privVersion) return 0;
  if ((tests & kCheckMachine) && devmode[KV_DM_MACHINE_ID] != model->machineId) return 0;
  if ((tests & kCheckDriverType) && !DriverTypeMatches(model->driverType, devmode[KV_DM_DRIVER_TYPE])) return 0;
  return 1;
}

}  // namespace

int WINAPI DmCheckPrivateHeader(const BYTE *devmode)
{
  return CheckFields(devmode, kCheckModel | kCheckSize | kCheckVersion, KV_DM_TOTAL_SIZE);
}

int WINAPI DmCheckModel(const BYTE *devmode) { return CheckFields(devmode, kCheckModel, KV_DM_MODEL_CHECK_EXTENT); }

int WINAPI DmCheckModelAndSize(const BYTE *devmode)
{
  return CheckFields(devmode, kCheckModel | kCheckSize, KV_DM_TOTAL_SIZE);
}
