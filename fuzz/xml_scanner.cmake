# expat is the second opinion on well-formed documents; only this target links it.
find_package(EXPAT REQUIRED)
logwell_fuzz(xml_scanner SOURCE xml_scanner.cpp DEPENDS logwell_base EXPAT::EXPAT SEEDS tracks waypoints logger)
