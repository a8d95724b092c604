// A context of the test printer that runs on the bundled sample description: the sample is
// compiled from a copy on the machine and lent to the context for the test.
#pragma once

#include <fstream>
#include <sstream>

#include "blob/desc_compile.h"
#include "blob/desc_blob.h"
#include "context_fixture.h"

class SampleContextTest : public ContextTest {
 protected:
  void SetUp() override
  {
    ContextTest::SetUp();
    std::ifstream in(KV_SAMPLE_DIR "/KVSAMPLE.KVD", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    ASSERT_FALSE(text.str().empty());
    WriteHostFile(HostPath(u"C:\\sample\\KVSAMPLE.KVD"), text.str());
    blob_ = DescCompileEx(nullptr, u"C:\\sample\\KVSAMPLE.KVD", FALSE, nullptr);
    ASSERT_NE(nullptr, blob_);
    ctx_ = Create();
    ASSERT_NE(nullptr, ctx_);
    own_ = ctx_->desc;
    ctx_->desc = blob_;  // lent for the test
  }
  void TearDown() override
  {
    if (ctx_) {
      ctx_->desc = own_;
      CtxRelease(ctx_);
    }
    GlobalFree(blob_);
    ContextTest::TearDown();
  }

  DRIVER_CONTEXT *ctx_ = nullptr;
  DESC_BLOB *own_ = nullptr;
  DESC_BLOB *blob_ = nullptr;
};
