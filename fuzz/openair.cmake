logwell_fuzz(openair SOURCE openair.cpp DEPENDS logwell_airspace SEEDS airspace)
