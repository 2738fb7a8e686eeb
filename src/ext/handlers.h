// The handler singletons, one accessor per subtype. Each handler's file
// defines its accessor; the registry lists them.
#pragma once

#include "ext/extension_handler.h"

namespace vexa::handlers {

const SystemFileExtensionHandler& MachineInteger();  // subtype 3
const SystemFileExtensionHandler& MachineFloat();    // subtype 4

}  // namespace vexa::handlers
