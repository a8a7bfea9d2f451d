logwell_fuzz(ascent_messages SOURCE ascent_messages.cpp DEPENDS logwell_wire SEEDS ascent logger)
