#pragma once
#include "devices/family.h"

namespace logwell::logit {

InstrumentFamily Family();

}  // namespace logwell::logit
