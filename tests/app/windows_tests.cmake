# Tests of the Qt windows: filled in by the windows work.
