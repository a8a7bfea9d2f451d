logwell_fuzz(garmin_packets SOURCE garmin_packets.cpp DEPENDS logwell_wire SEEDS garmin)
