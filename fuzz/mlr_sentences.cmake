logwell_fuzz(mlr_sentences SOURCE mlr_sentences.cpp DEPENDS logwell_mlr SEEDS mlr waypoints)
