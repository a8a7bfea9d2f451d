logwell_fuzz(syride_reports SOURCE syride_reports.cpp DEPENDS logwell_wire SEEDS syride)
