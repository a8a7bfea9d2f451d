#pragma once
#include "devices/family.h"

namespace logwell::topnav {

InstrumentFamily Family();

}  // namespace logwell::topnav
