// Lends a hand-built row array to the deliverable's PJL variable table for one test and
// puts the compiled-in rows back afterwards.
#pragma once

#include "hooks/pjl_vars.h"

class PjlTableSwap {
 public:
  PjlTableSwap(PJL_VARIABLE_ROW *rows, DWORD count) : table_(PjlGetVariableTable())
  {
    saved_ = *table_;
    table_->rows = rows;
    table_->count = count;
  }
  ~PjlTableSwap() { *table_ = saved_; }
  PjlTableSwap(const PjlTableSwap &) = delete;
  PjlTableSwap &operator=(const PjlTableSwap &) = delete;

 private:
  PJL_VARIABLE_TABLE *table_;
  PJL_VARIABLE_TABLE saved_;
};
