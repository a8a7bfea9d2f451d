logwell_fuzz(igc_security SOURCE igc_security.cpp DEPENDS logwell_igc SEEDS igc)
