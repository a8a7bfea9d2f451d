#pragma once
#include "devices/family.h"

namespace logwell::digifly {

InstrumentFamily Family();

}  // namespace logwell::digifly
