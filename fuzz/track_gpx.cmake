logwell_fuzz(track_gpx SOURCE track_gpx.cpp DEPENDS logwell_track_formats SEEDS tracks logger waypoints)
