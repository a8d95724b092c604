// Fixture of the context tests: an installed test printer opened with full access, and a
// compiled description put into the process cache through the test seam.
#pragma once

#include "context.h"
#include "context/context_create.h"
#include "items/item_store.h"
#include "machine_fixture.h"
#include "model/model.h"

// Test seam: puts a minimal compiled description (a header, no items) into the process
// cache under the key of the printer's description file; NULL when that cannot be done.
struct DESC_BLOB *DescTestInstallCompiled(HANDLE printer);
// Empties the process cache and frees the blobs the seam made.
void DescTestRemoveAll();

class ContextTest : public MachineTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Installs and opens printer "KV Test" of driver "KV Test Driver".
  HANDLE InstallPrinter(const WCHAR *name = u"KV Test");
  // A full context (open mode 0) for the fixture's printer.
  DRIVER_CONTEXT *Create(DWORD flags = CTX_CREATE_SHEETS) { return CtxCreate(printer_, printer_, nullptr, flags); }

  HANDLE printer_ = nullptr;
  HANDLE second_ = nullptr;
  struct DESC_BLOB *blob_ = nullptr;
};

// ContextTest with a full context of the fixture's printer opened in SetUp (ctx_) and
// released in TearDown.
class OpenContextTest : public ContextTest {
 protected:
  void SetUp() override
  {
    ContextTest::SetUp();
    ctx_ = Create();
    ASSERT_NE(ctx_, nullptr);
  }
  void TearDown() override
  {
    if (ctx_ != nullptr) CtxRelease(ctx_);
    ContextTest::TearDown();
  }

  DRIVER_CONTEXT *ctx_ = nullptr;
};

std::string NarrowW(const WCHAR *s);
