#pragma once

#include <QString>

namespace os {

// The program version, four decimal numbers joined by full stops
// (major.minor.release.build), from the version set in the build.
QString programVersion();

} // namespace os
