#pragma once
#include "devices/family.h"

namespace logwell::dsx {

InstrumentFamily Family();

}  // namespace logwell::dsx
