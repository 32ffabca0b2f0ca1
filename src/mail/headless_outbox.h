#pragma once

namespace os {

// `ordersentinel --send-outbox`: "Send Messages" over the whole outbox
// without windows. Loads the settings, opens (and if needed creates) the
// company database, and sends every queued message in queue order. When a
// login is configured, the mail password is the first line of standard input
// (without it, a remembered password from the desktop's keyring). Prints the
// protocol trail as "SMTP<TAB>line" and every message sent as
// "Sent<TAB>subject to address" on standard output; message texts go to
// standard error.
//
// Returns 0 when everything was sent or nothing was queued ("You have no
// messages in your OutBox." on standard error), 1 on a failure (the failing
// message and the later ones stay queued), 2 when a login is configured and
// no password was given. The program's home must be set and the program lock
// taken before.
int runSendOutbox();

} // namespace os
