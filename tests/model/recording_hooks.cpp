#include "recording_hooks.h"

RecordingModules *RecordingModules::current = nullptr;

namespace {
template <int R>
LONG WINAPI Action(DRIVER_CONTEXT *, WORD code, void *priv)
{
  RecordingModules *m = RecordingModules::current;
  m->calls.push_back({'a', R, code, nullptr, priv});
  return m->answers_[R];
}
template <int R>
LONG WINAPI Message(DRIVER_CONTEXT *, DIALOG_RECORD *, CONTROL_RECORD *, UINT message, WPARAM, LPARAM, void *priv)
{
  RecordingModules *m = RecordingModules::current;
  m->calls.push_back({'m', R, (WORD)message, nullptr, priv});
  return m->answers_[R];
}
template <int R>
LONG WINAPI Notify(DRIVER_CONTEXT *, WORD event, void *data, void *priv)
{
  RecordingModules *m = RecordingModules::current;
  m->calls.push_back({'n', R, event, data, priv});
  return m->answers_[R];
}
template <int R>
MODULE_HOOK_ROW Row(LONG size)
{
  return {size, nullptr, Action<R>, Message<R>, Notify<R>};
}
}  // namespace

RecordingModules::RecordingModules() { current = this; }
RecordingModules::~RecordingModules() { current = nullptr; }

void RecordingModules::Attach(DRIVER_CONTEXT *ctx, LONG privSize)
{
  MODULE_HOOK_ROW rows[KV_MODULE_ROW_COUNT] = {Row<0>(privSize), Row<1>(privSize), Row<2>(privSize),
                                               Row<3>(privSize), Row<4>(privSize), Row<5>(privSize)};
  CtxAttachModuleTable(ctx, rows, KV_MODULE_ROW_COUNT);
}
