#pragma once

namespace os {

// `ordersentinel --repair [--home DIR]`, the Ordersentinel Database Repair
// Utility (DatabaseRepair, src/data/repair.h) on the home's data directory,
// run under the program lock and the home lock (so the program is refused
// meanwhile). The copies of the table files go into DIR/backups. Rows on
// standard output as type, tab, message; returns 0 when nothing needed
// mending or everything was mended, 1 when something could not be saved.
int runRepair();

} // namespace os
