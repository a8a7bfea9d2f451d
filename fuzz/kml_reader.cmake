logwell_fuzz(kml_reader SOURCE kml_reader.cpp DEPENDS logwell_kml SEEDS tracks)
