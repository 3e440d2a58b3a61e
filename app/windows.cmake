# The Qt windows: filled in by the windows work.
