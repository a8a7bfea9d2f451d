#pragma once
#include "devices/family.h"

namespace logwell::mlr {

InstrumentFamily Family();

}  // namespace logwell::mlr
