logwell_fuzz(iqbasic_lines SOURCE iqbasic_lines.cpp DEPENDS logwell_iqbasic SEEDS iqbasic waypoints igc)
