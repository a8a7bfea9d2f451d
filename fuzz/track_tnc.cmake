logwell_fuzz(track_tnc SOURCE track_tnc.cpp DEPENDS logwell_track_formats logwell_wire SEEDS topnav tracks)
