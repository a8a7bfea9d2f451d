logwell_fuzz(nmea SOURCE nmea.cpp DEPENDS logwell_access SEEDS logger)
