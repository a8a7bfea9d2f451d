logwell_fuzz(flytec_sentences SOURCE flytec_sentences.cpp DEPENDS logwell_flytec SEEDS igc waypoints)
