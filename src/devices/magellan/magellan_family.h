#pragma once
// The family record of Magellan receivers.
#include "devices/family.h"

namespace logwell::magellan {

InstrumentFamily Family();

}  // namespace logwell::magellan
