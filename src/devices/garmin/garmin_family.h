#pragma once
#include "devices/family.h"

namespace logwell::garmin {

InstrumentFamily Family();

}  // namespace logwell::garmin
