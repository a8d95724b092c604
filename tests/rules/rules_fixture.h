// A full context of the test printer that evaluates rules on a description built by hand.
#pragma once

#include "blob_builder.h"
#include "context_fixture.h"
#include "blob/desc_runtime.h"
#include "rules/rule_eval.h"

class RulesTest : public ContextTest {
 protected:
  void SetUp() override
  {
    ContextTest::SetUp();
    ctx_ = Create();
    ASSERT_NE(ctx_, nullptr);
    own_ = ctx_->desc;
    ctx_->desc = b_.blob();  // lent for the test; the builder keeps growing it
  }
  void TearDown() override
  {
    if (ctx_ != nullptr) {
      ctx_->desc = own_;
      CtxRelease(ctx_);
    }
    ContextTest::TearDown();
  }

  DRIVER_CONTEXT *ctx_ = nullptr;
  struct DESC_BLOB *own_ = nullptr;
  BlobBuilder b_;
};
