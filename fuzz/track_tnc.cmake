logwell_fuzz(track_tnc SOURCE track_tnc.cpp DEPENDS logwell_track_formats SEEDS topnav tracks)
