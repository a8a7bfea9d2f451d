#pragma once
#include "devices/family.h"

namespace logwell::graviter {

InstrumentFamily Family();

}  // namespace logwell::graviter
