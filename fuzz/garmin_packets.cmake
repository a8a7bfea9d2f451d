logwell_fuzz(garmin_packets SOURCE garmin_packets.cpp DEPENDS logwell_garmin SEEDS tracks waypoints)
