// The machine as System.capabilities describes it: screen, language and Windows version.
#pragma once

#include "player/avm1/builtins/machine_facts.h"

namespace flashsaver {

avm1::MachineFacts ReadMachineFacts();

}  // namespace flashsaver
