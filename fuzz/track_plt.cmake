logwell_fuzz(track_plt SOURCE track_plt.cpp DEPENDS logwell_track_formats SEEDS tracks logger waypoints)
