logwell_fuzz(dsx_lines SOURCE dsx_lines.cpp DEPENDS logwell_dsx SEEDS dsx igc)
