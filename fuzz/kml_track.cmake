logwell_fuzz(kml_track SOURCE kml_track.cpp DEPENDS logwell_track_formats SEEDS tracks kml_deep)
