#include "shell/PlugInServices.h"

PlugInServices& plugInServices() {
  static PlugInServices services;
  return services;
}
