// Why an exchange failed, in the debug log: the link's trace hook writes one
// line per failed exchange and per notice (a record cut to its family's
// length, a late answer dropped).
#pragma once

#include <functional>

namespace vantor {

// Installs the hook; a second call changes nothing. Remove before the
// program's globals go.
void InstallLinkTrace();
void RemoveLinkTrace();

// Called on the UI thread after an exchange found its connection closed or
// reset by the instrument (empty: nothing).
void SetLinkClosedHandler(std::function<void()> handler);

}  // namespace vantor
