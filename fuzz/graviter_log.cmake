logwell_fuzz(graviter_log SOURCE graviter_log.cpp DEPENDS logwell_wire SEEDS graviter logger)
