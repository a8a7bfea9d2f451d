#pragma once
#include "devices/family.h"

namespace logwell::ascent {

InstrumentFamily Family();

}  // namespace logwell::ascent
