logwell_fuzz(track_magellan SOURCE track_magellan.cpp DEPENDS logwell_track_formats SEEDS tracks logger waypoints)
