#pragma once
// The family record of MTK-based loggers (Pentagram, Holux and others).
#include "devices/family.h"

namespace logwell::mtk {

InstrumentFamily Family();

}  // namespace logwell::mtk
