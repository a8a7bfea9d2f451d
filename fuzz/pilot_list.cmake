logwell_fuzz(pilot_list SOURCE pilot_list.cpp DEPENDS logwell_competition SEEDS pilot_lists waypoints)
