logwell_fuzz(command_line SOURCE command_line.cpp DEPENDS logwell_app)
