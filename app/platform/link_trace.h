// Why an exchange failed, in the debug log: the link's trace hook writes one
// line per failed exchange and per notice (a record cut to its family's
// length, a late answer dropped).
#pragma once

namespace vantor {

// Installs the hook; a second call changes nothing. Remove before the
// program's globals go.
void InstallLinkTrace();
void RemoveLinkTrace();

}  // namespace vantor
