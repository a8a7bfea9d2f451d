#pragma once
#include "devices/family.h"

namespace logwell::iqbasic {

InstrumentFamily Family();

}  // namespace logwell::iqbasic
