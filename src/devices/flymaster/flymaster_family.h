#pragma once
#include "devices/family.h"

namespace logwell::flymaster {

InstrumentFamily Family();

}  // namespace logwell::flymaster
