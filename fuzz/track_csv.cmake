logwell_fuzz(track_csv SOURCE track_csv.cpp DEPENDS logwell_track_formats SEEDS tracks logger waypoints)
