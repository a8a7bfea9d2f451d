logwell_fuzz(flymaster_track SOURCE flymaster_track.cpp DEPENDS logwell_flymaster SEEDS logger tracks)
