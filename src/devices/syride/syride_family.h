#pragma once
#include "devices/family.h"

namespace logwell::syride {

InstrumentFamily Family();

}  // namespace logwell::syride
