// What an installer of the bundled plug-in does on a real system: the
// plug-in finds its default preference file through a registry value that
// the installation writes. The host writes it on first use when it is
// missing, into the platform's registry store, so that a fresh checkout
// runs the plug-in without an installation step.
#pragma once

#include <string>

namespace host {

// Sets HKEY_LOCAL_MACHINE "Software\Corvane\Tessaly 1.0" "PrefsLocation" to a
// file beside the registry store unless it is set. Returns the location in
// use; empty when the store cannot be written.
std::string ensurePreferenceLocation();

}  // namespace host
