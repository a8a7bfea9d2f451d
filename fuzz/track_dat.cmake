logwell_fuzz(track_dat SOURCE track_dat.cpp DEPENDS logwell_track_formats SEEDS tracks logger waypoints)
