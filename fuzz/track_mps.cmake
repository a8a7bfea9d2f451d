logwell_fuzz(track_mps SOURCE track_mps.cpp DEPENDS logwell_track_formats SEEDS tracks logger waypoints)
