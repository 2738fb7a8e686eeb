// The handler singletons, one accessor per subtype. Each handler's file
// defines its accessor; the registry lists them.
#pragma once

#include "ext/extension_handler.h"

namespace vexa::handlers {

const SystemFileExtensionHandler& MachineInteger();  // subtype 3
const SystemFileExtensionHandler& MachineFloat();    // subtype 4
const SystemFileExtensionHandler& VariableSets();    // subtype 5
const SystemFileExtensionHandler& DateInfoRecord();  // subtype 6
const SystemFileExtensionHandler& PlainMrSets();     // subtype 7
const SystemFileExtensionHandler& LWA();  // subtype 11: display parameters
const SystemFileExtensionHandler& LongNames();       // subtype 13
const SystemFileExtensionHandler& VeryLongStrings(); // subtype 14
const SystemFileExtensionHandler& CaseCount();       // subtype 16
const SystemFileExtensionHandler& ExtendedMrSets();  // subtype 19
const SystemFileExtensionHandler& Encoding();        // subtype 20
const SystemFileExtensionHandler& DatasetAttributes();   // subtype 17
const SystemFileExtensionHandler& VariableAttributes();  // subtype 18
const SystemFileExtensionHandler& LongStringLabels();  // subtype 21
const SystemFileExtensionHandler& SortKey();           // subtype 23
const SystemFileExtensionHandler& DataEntry();         // subtype 24
const SystemFileExtensionHandler& ExtendedFormats();   // subtype 25

}  // namespace vexa::handlers
