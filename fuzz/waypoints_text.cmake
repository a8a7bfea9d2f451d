logwell_fuzz(waypoints_text SOURCE waypoints_text.cpp DEPENDS logwell_waypoints SEEDS waypoints)
