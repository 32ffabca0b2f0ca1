#pragma once

namespace os {

class StoreSession;

// "Get Orders & Information": the integrity check, get_new_stuff, the
// clean-up and the import of everything the store delivered. Runs inside a
// session; raises os::Error subclasses to end the session.
void RetrieveOrders(StoreSession& session);

} // namespace os
