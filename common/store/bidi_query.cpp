// The printer query over the bidirectional channel. Provisional: no bridge is bound yet, so
// the printer never answers and the query fails without changing the context.
#include "store/bidi_query.h"

int WINAPI BidiQueryV1(DRIVER_CONTEXT *ctx)
{
  (void)ctx;
  return 0;
}
