logwell_fuzz(igc_device_parser SOURCE igc_device_parser.cpp DEPENDS logwell_igc SEEDS igc)
