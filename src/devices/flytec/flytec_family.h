#pragma once
// The family record of the Flytec and Brauniger instruments.
#include "devices/family.h"

namespace logwell::flytec {

InstrumentFamily Family();

}  // namespace logwell::flytec
