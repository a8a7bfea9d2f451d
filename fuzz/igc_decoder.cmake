logwell_fuzz(igc_decoder SOURCE igc_decoder.cpp DEPENDS logwell_igc SEEDS igc)
