#include "sync/retrieval.h"

#include "sync/session_error.h"

namespace os {

// Placeholder until the retrieval lands; it refuses rather than pretending.
void RetrieveOrders(StoreSession&)
{
    throw SessionError(QStringLiteral("Order retrieval is not available in this build."));
}

} // namespace os
