// A module table whose hooks record every call and answer as told, for dispatch tests.
#pragma once

#include <string>
#include <vector>

#include "hooks/module_hooks.h"

struct HookCall {
  char kind;  // 'a' action, 'm' message, 'n' notify
  int row;
  WORD code;  // action code, message or event
  void *data;
  void *priv;
};

class RecordingModules {
 public:
  RecordingModules();
  ~RecordingModules();
  // Attaches six recording rows (each with a private buffer of privSize bytes) to ctx.
  void Attach(DRIVER_CONTEXT *ctx, LONG privSize = 0);
  // Row r answers a value (0 = not handled) to every later call.
  void SetAnswer(int row, LONG answer) { answers_[row] = answer; }
  std::vector<HookCall> calls;
  LONG answers_[KV_MODULE_ROW_COUNT] = {};
  static RecordingModules *current;
};
