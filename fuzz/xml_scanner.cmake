logwell_fuzz(xml_scanner SOURCE xml_scanner.cpp DEPENDS logwell_track SEEDS tracks waypoints logger)
