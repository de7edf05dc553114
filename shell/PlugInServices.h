// What the filter and the selection module need from the layers above the
// shell. Those layers fill these in when the library is loaded (a static
// registrar in the unit that provides the service), so the shell depends on
// none of them. A service that is missing makes its run fail with
// "The operation could not be completed." rather than pretend to work.
#pragma once

#include <cstdint>

struct PlugInServices {
  // Whether the filter's single target plane is in fact one of the colour
  // channels 0 .. colourChannels - 1 (and none of the other planes).
  bool (*targetIsColourChannel)(int16_t colourChannels, int16_t totalPlanes) = nullptr;
  // Runs the work window until the user applies or leaves. A run that ends
  // without applying pushes (1110, kGroupHost) before it returns.
  void (*runWorkWindow)() = nullptr;
  // Shows the filter's about box.
  void (*showAboutBox)() = nullptr;
  // Runs Make Work Path; true when a path was handed to the host.
  bool (*makeWorkPath)() = nullptr;
  // The Clipping Path question of Save/Apply: false when the user cancels
  // (the apply does not happen).
  bool (*askClippingPath)() = nullptr;
};

PlugInServices& plugInServices();
